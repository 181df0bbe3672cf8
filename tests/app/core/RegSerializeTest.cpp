// Filter definitions as binary registry values: the image a save writes, and loads of values a user or a
// damaged hive may leave behind.
#include "app/core/settings/RegSerialize.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "NtControl.h"
#include "app/core/filters/FilterDefinition.h"

namespace {

class RegSerialize : public ::testing::Test {
protected:
    void SetUp() override { nt::ResetKernelState(); }
    void TearDown() override { nt::ResetKernelState(); }

    static void Put(const char* name, DWORD type, const std::vector<BYTE>& data) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, g_szFiltersSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static std::vector<BYTE> Get(const char* subKey, const char* name, DWORD* pType = nullptr) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return {};
        std::vector<BYTE> data(8192);
        DWORD size = static_cast<DWORD>(data.size()), type = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            size = 0;
        RegCloseKey(key);
        data.resize(size);
        if (pType)
            *pType = type;
        return data;
    }
    static void Sample(CFilterDefinition& definition) {
        definition.Clear();
        for (size_t offset : {FilterByte::UrbRequest, FilterByte::UrbFunctions + 9, FilterByte::PowerMinors + 3,
                              FilterByte::AcceptError, FilterByte::AcceptIn})
            definition.Enable(offset);
    }
    static std::vector<BYTE> SampleBlock() {
        CFilterDefinition definition;
        Sample(definition);
        return Block(definition);
    }
    static std::vector<BYTE> Block(const CFilterDefinition& definition) {
        return {definition.GetBlock().Bytes, definition.GetBlock().Bytes + FILTER_BLOCK_SIZE};
    }
};

TEST_F(RegSerialize, SavesTheBlockAsABinaryImageAndLoadsItBack) {
    CFilterDefinition saved;
    Sample(saved);
    ASSERT_TRUE(RegSaveFilter(&saved, "Bulk only"));
    DWORD type = 0;
    EXPECT_EQ(Get(g_szFiltersSubKey, "Bulk only", &type), Block(saved));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    CFilterDefinition loaded;
    ASSERT_TRUE(RegLoadFilter(&loaded, "Bulk only"));
    EXPECT_EQ(Block(loaded), Block(saved));

    // Triggers live under their own key, and saving a name again replaces its value.
    ASSERT_TRUE(RegSaveTrigger(&saved, "Stop"));
    EXPECT_FALSE(RegLoadFilter(&loaded, "Stop"));
    CFilterDefinition empty;
    ASSERT_TRUE(RegSaveTrigger(&empty, "Stop"));
    ASSERT_TRUE(RegLoadTrigger(&loaded, "Stop"));
    EXPECT_EQ(Block(loaded), Block(empty));
}

TEST_F(RegSerialize, ABadValueLeavesTheDefinitionAsItWas) {
    const std::vector<BYTE> image = [] {
        CFilterDefinition d;
        d.Enable(FilterByte::HubRequest);
        return Block(d);
    }();
    std::mt19937 random(37);
    std::vector<BYTE> noise(200);
    for (BYTE& b : noise)
        b = static_cast<BYTE>(random());
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"another type", REG_SZ, image},
        {"empty", REG_BINARY, {}},
        {"one byte", REG_BINARY, {2}},
        {"one byte short", REG_BINARY, std::vector<BYTE>(image.begin(), image.end() - 1)},
        {"one byte long", REG_BINARY,
         [&] {
             auto d = image;
             d.push_back(1);
             return d;
         }()},
        {"larger than the buffer", REG_BINARY, std::vector<BYTE>(5000, 1)},
        {"noise", REG_BINARY, noise},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("Damaged", c.type, c.data);
        CFilterDefinition definition;
        Sample(definition);
        EXPECT_FALSE(RegLoadFilter(&definition, "Damaged"));
        EXPECT_EQ(Block(definition), SampleBlock());
    }
    CFilterDefinition definition;
    Sample(definition);
    EXPECT_FALSE(RegLoadFilter(&definition, "Absent"));
    EXPECT_FALSE(RegLoadTrigger(&definition, "Absent")); // no key at all
    EXPECT_EQ(Block(definition), SampleBlock());
}

} // namespace
