// make_setup_payload <archive.zip> <source.cpp>
//
// Writes the set-up program's payload: a ZIP archive whose one deflated entry, "Tindaloft.msi", is a stand-in
// installer package with a fixed package code; and a C++ source that carries the archive's bytes into the
// program as its payload resource. The entry's date is fixed too, so that every build makes the same bytes.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <zip.h>

#include "WinMsiControl.h"

namespace {

constexpr const char* kEntryName = "Tindaloft.msi";
constexpr const char* kPackageCode = "{5A1C2F4E-7B3D-4E8A-9C61-0D2B7F3E9A14}";
constexpr unsigned long kUnixFile = (0100644ul << 16) | 0x20; // rw-r--r--, DOS archive bit

std::string PackageBytes() {
    return win32::MakeInstallerPackage({
        {2, "Installation Database"},
        {3, "Tindaloft"},
        {4, "Vellumcrest"},
        {7, "x64;1033"},
        {9, kPackageCode},
        {14, "200"},
        {15, "2"},
    });
}

bool WriteArchive(const char* path, const std::string& package) {
    zipFile zip = zipOpen(path, APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    zip_fileinfo info{};
    info.tmz_date.tm_year = 2026; // 1 January 2026, 00:00:00
    info.tmz_date.tm_mon = 0;
    info.tmz_date.tm_mday = 1;
    info.external_fa = kUnixFile;
    bool ok = zipOpenNewFileInZip(zip, kEntryName, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_BEST_COMPRESSION) == ZIP_OK &&
              zipWriteInFileInZip(zip, package.data(), static_cast<unsigned>(package.size())) == ZIP_OK &&
              zipCloseFileInZip(zip) == ZIP_OK;
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool WriteSource(const char* path, const std::string& archive) {
    std::ofstream out(path);
    out << "// Made by make_setup_payload: the set-up program's payload resource (RT_RCDATA 1).\n"
           "#include \"setup/SetupPayloadData.h\"\n\n"
           "const unsigned char kSetupPayload[] = {";
    for (size_t i = 0; i < archive.size(); ++i)
        out << (i % 16 ? " " : "\n    ") << static_cast<unsigned>(static_cast<unsigned char>(archive[i])) << ",";
    out << "\n};\nconst unsigned long kSetupPayloadSize = sizeof kSetupPayload;\n";
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_setup_payload <archive.zip> <source.cpp>\n");
        return 2;
    }
    if (!WriteArchive(argv[1], PackageBytes())) {
        std::fprintf(stderr, "make_setup_payload: cannot write %s\n", argv[1]);
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), {});
    if (archive.empty() || !WriteSource(argv[2], archive)) {
        std::fprintf(stderr, "make_setup_payload: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
