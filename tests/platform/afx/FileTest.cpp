// CFile and CStdioFile on the platform's file API, CMemFile in memory, and an archive over a real file.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "ArchiveFixture.h"
#include "afx.h"

using afx_test::Bytes;
using afx_test::Throws;

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() / ("afx_file_test_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }
    std::string Contents(const char* name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_dir;
};

TEST_F(FileTest, CreateWriteSeekReadAndLength) {
    std::string path = PathOf("data.bin");
    CFile file;
    CFileException error;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite, &error));
    EXPECT_STREQ("data.bin", file.GetFileName());
    EXPECT_STREQ("data", file.GetFileTitle());
    EXPECT_TRUE(file.GetFilePath().Right(9) == "/data.bin" || file.GetFilePath().Right(9) == "\\data.bin");
    file.Write("0123456789", 10);
    EXPECT_EQ(10u, file.GetPosition());
    EXPECT_EQ(10u, file.GetLength());
    EXPECT_EQ(4u, file.Seek(4, CFile::begin));
    char buf[8] = {};
    EXPECT_EQ(3u, file.Read(buf, 3));
    EXPECT_STREQ("456", buf);
    EXPECT_EQ(8u, file.Seek(-2, CFile::end));
    EXPECT_EQ(2u, file.Read(buf, 8)); // short at the end
    EXPECT_EQ(0u, file.Read(buf, 8));
    file.SetLength(4);
    EXPECT_EQ(4u, file.GetLength());
    file.SeekToBegin();
    EXPECT_EQ(4u, file.SeekToEnd());
    file.Flush();
    file.Close();
    EXPECT_EQ(CFile::hFileNull, file.m_hFile);
    EXPECT_EQ("0123", Contents("data.bin"));

    // modeNoTruncate keeps the contents; a plain modeCreate empties the file.
    CFile again(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    EXPECT_EQ(4u, again.GetLength());
    again.Close();
    CFile truncated(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(0u, truncated.GetLength());
}

TEST_F(FileTest, FailuresReportTheFrameworkCauses) {
    std::string missing = PathOf("missing.bin");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(missing.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(2, error.m_lOsError);
    EXPECT_STREQ(missing.c_str(), error.m_strFileName);

    try {
        CFile thrown(missing.c_str(), CFile::modeRead);
        ADD_FAILURE();
    } catch (CFileException* e) {
        EXPECT_EQ(CFileException::fileNotFound, e->m_cause);
        e->Delete();
    }

    std::string path = PathOf("readonly.bin");
    std::ofstream(path) << "x";
    CFile readOnly(path.c_str(), CFile::modeRead);
    EXPECT_TRUE(Throws<CFileException>([&] { readOnly.Write("y", 1); }));
    EXPECT_TRUE(Throws<CFileException>([&] { readOnly.Seek(-5, CFile::begin); }));

    EXPECT_EQ(CFileException::accessDenied, CFileException::OsErrorToException(5));
    EXPECT_EQ(CFileException::sharingViolation, CFileException::OsErrorToException(32));
    EXPECT_EQ(CFileException::diskFull, CFileException::OsErrorToException(112));
    EXPECT_EQ(CFileException::genericException, CFileException::OsErrorToException(99999));
    EXPECT_EQ(CFileException::none, CFileException::OsErrorToException(0));
}

TEST_F(FileTest, ArchiveOverAFileKeepsItsPosition) {
    std::string path = PathOf("log.bin");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store);
        for (DWORD i = 0; i < 5000; ++i)
            ar << i;
        ar << CString("tail");
        // A string that claims 2 GB and ends the file.
        ar << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(0x7FFFFFF0) << 'x';
        ar.Close();
    }
    CFile file(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    CArchive ar(&file, CArchive::load);
    EXPECT_STREQ(file.GetFilePath(), ar.m_strFileName);
    for (DWORD i = 0; i < 1234; ++i) {
        DWORD v;
        ar >> v;
        ASSERT_EQ(i, v);
    }
    ar.Flush();
    EXPECT_EQ(1234u * 4, ar.GetFile()->GetPosition());
    // Reading goes on from the same place after the flush.
    DWORD next;
    ar >> next;
    EXPECT_EQ(1234u, next);
    ar.Flush();
    ar.GetFile()->Seek(5000 * 4, CFile::begin);
    CString text;
    ar >> text;
    EXPECT_STREQ("tail", text);
    int cause = -1;
    size_t largest =
        afx_test::AllocationWatch::LargestDuring([&] { cause = afx_test::ArchiveCause([&] { ar >> text; }); });
    EXPECT_EQ(CArchiveException::endOfFile, cause);
    EXPECT_LT(largest, 64u * 1024u);
}

TEST_F(FileTest, StdioFileWritesAndReadsCrLfLines) {
    std::string path = PathOf("text.csv");
    {
        CStdioFile out;
        ASSERT_TRUE(out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText));
        out.WriteString("a,b\n");
        out.WriteString("c\nlast");
    }
    EXPECT_EQ("a,b\r\nc\r\nlast", Contents("text.csv"));

    CStdioFile in(path.c_str(), CFile::modeRead);
    CString line;
    EXPECT_TRUE(in.ReadString(line));
    EXPECT_STREQ("a,b", line);
    EXPECT_EQ(5u, in.GetPosition()); // the read-ahead does not move the logical position
    char buf[16];
    EXPECT_STREQ("c\n", in.ReadString(buf, sizeof buf));
    EXPECT_TRUE(in.ReadString(line));
    EXPECT_STREQ("last", line);
    EXPECT_FALSE(in.ReadString(line));
    EXPECT_EQ(nullptr, in.ReadString(buf, sizeof buf));
    in.SeekToBegin();
    EXPECT_TRUE(in.ReadString(line));
    EXPECT_STREQ("a,b", line);

    // Binary mode keeps the bytes as they are.
    CStdioFile binary(path.c_str(), CFile::modeRead | CFile::typeBinary);
    EXPECT_TRUE(binary.ReadString(line));
    EXPECT_STREQ("a,b\r", line);
}

TEST(CMemFile, GrowsInStepsAndAttachesBuffers) {
    CMemFile grown(16);
    grown.Write("abc", 3);
    grown.Seek(10, CFile::begin);
    grown.Write("z", 1);
    EXPECT_EQ(11u, grown.GetLength());
    Bytes contents(11);
    grown.SeekToBegin();
    EXPECT_EQ(11u, grown.Read(contents.data(), 20));
    EXPECT_EQ((Bytes{'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 'z'}), contents); // the gap reads as zeros
    EXPECT_TRUE(Throws<CFileException>([&] { grown.Seek(-1, CFile::begin); }));
    BYTE* detached = grown.Detach();
    EXPECT_EQ(0u, grown.GetLength());
    EXPECT_EQ('z', detached[10]);
    std::free(detached);

    // A caller's buffer with grow step 0 is a fixed-size file of that length.
    BYTE fixed[4] = {1, 2, 3, 4};
    CMemFile attached(fixed, sizeof fixed);
    EXPECT_EQ(4u, attached.GetLength());
    attached.Seek(2, CFile::begin);
    attached.Write("\x09", 1);
    EXPECT_EQ(9, fixed[2]);
    EXPECT_TRUE(Throws<CMemoryException>([&] { attached.Write("xyz", 3); }));

    // The registry store's form: a 4096-byte memory file growing by 16.
    BYTE* initial = static_cast<BYTE*>(std::malloc(4096));
    CMemFile store(initial, 4096, 16);
    EXPECT_EQ(0u, store.GetLength());
    Bytes big(5000, 7);
    store.Write(big.data(), static_cast<UINT>(big.size()));
    EXPECT_EQ(5000u, store.GetLength());
    std::free(store.Detach());
}

TEST(CException, MessagesAndDeletion) {
    char message[128];
    CArchiveException archive(CArchiveException::endOfFile, "c:\\logs\\a.tdloft");
    EXPECT_TRUE(archive.GetErrorMessage(message, sizeof message));
    EXPECT_NE(nullptr, std::strstr(message, "a.tdloft"));
    CFileException file(CFileException::diskFull);
    EXPECT_TRUE(file.GetErrorMessage(message, 8));
    EXPECT_EQ(7u, std::strlen(message)); // truncated to the buffer
    EXPECT_TRUE(archive.IsKindOf(RUNTIME_CLASS(CException)));

    // The shared exceptions survive Delete and can be thrown again.
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(Throws<CMemoryException>([] { AfxThrowMemoryException(); }));
        EXPECT_TRUE(Throws<CNotSupportedException>([] { AfxThrowNotSupportedException(); }));
        EXPECT_TRUE(Throws<CInvalidArgException>([] { AfxThrowInvalidArgException(); }));
    }
    EXPECT_TRUE(Throws<CUserException>([] { AfxThrowUserException(); }));
    try {
        AfxThrowArchiveException(CArchiveException::badSchema, "f");
    } catch (CException* e) {
        ASSERT_TRUE(e->IsKindOf(RUNTIME_CLASS(CArchiveException)));
        EXPECT_EQ(CArchiveException::badSchema, static_cast<CArchiveException*>(e)->m_cause);
        e->Delete();
    }
}

} // namespace
