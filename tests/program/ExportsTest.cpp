// zelvo.exe exports the image library's classes by their decorated names.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        // Only its export table is read: nothing of the program runs.
        m_exe = LoadLibraryExA(ZELVO_EXE, nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(nullptr, m_exe) << ZELVO_EXE << ": error " << GetLastError();
    }
    void TearDown() override {
        if (m_exe) FreeLibrary(m_exe);
    }

    HMODULE m_exe = nullptr;
};

TEST_F(Exports, EveryExportedClassIsFoundByName) {
    const char* members[] = {
        "_ZN6ZImageC1Em",                 // ZImage::ZImage(DWORD)
        "_ZN6ZImage4LoadEPKcm",           // ZImage::Load(const char*, DWORD)
        "_ZN6ZImage4SaveEPKcm",           // ZImage::Save(const char*, DWORD)
        "_ZN6ZImage7StretchEP5HDC__llllm",  // ZImage::Stretch(HDC, long, long, long, long, DWORD)
        "_ZN6ZImage10GetVersionEv",       // ZImage::GetVersion()
        "_ZN9ZImageGIF6DecodeEP5ZFile",   // ZImageGIF::Decode(ZFile*)
        "_ZN9ZImageGIF6EncodeEP5ZFile",   // ZImageGIF::Encode(ZFile*)
        "_ZN5ZFile4PutCEh",               // ZFile::PutC(unsigned char)
        "_ZN7ZIOFile4OpenEPKcS1_",        // ZIOFile::Open(const char*, const char*)
        "_ZN8ZMemFile4FreeEv",            // ZMemFile::Free()
    };
    for (const char* member : members) EXPECT_NE(nullptr, GetProcAddress(m_exe, member)) << member;
}

TEST_F(Exports, VersionText) {
    using Version = const char* (*)();
    auto version = reinterpret_cast<Version>(
        reinterpret_cast<void*>(GetProcAddress(m_exe, "_ZN6ZImage10GetVersionEv")));
    ASSERT_NE(nullptr, version);
    EXPECT_STREQ("ZImage 1.0", version());
}

}  // namespace
