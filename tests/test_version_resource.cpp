// The version resource of the plug-in's file, as Explorer and installers
// read it.
#include "support/architecture.h"
#include "support/expected_version.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct VersionInfo {
    std::vector<BYTE> data;
    explicit VersionInfo(const wchar_t* file) {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(file, &handle);
        data.resize(size);
        if (size)
            GetFileVersionInfoW(file, 0, size, data.data());
    }
    std::wstring String(const std::wstring& name) {
        void* value = nullptr;
        UINT chars = 0;
        std::wstring path = L"\\StringFileInfo\\040904b0\\" + name;
        if (!VerQueryValueW(data.data(), path.c_str(), &value, &chars) || !value)
            return L"<missing>";
        return static_cast<const wchar_t*>(value);
    }
};

TEST(VersionResource, NumbersAndUsEnglishStrings) {
    VersionInfo info(kArch.dllName);
    ASSERT_FALSE(info.data.empty());

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(VerQueryValueW(info.data.data(), L"\\", reinterpret_cast<void**>(&fixed), &bytes));
    const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(EXPECTED_VERSION, numbers);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

    EXPECT_EQ(L"Automatic command timer for Take Command", info.String(L"FileDescription"));
    EXPECT_EQ(EXPECTED_VERSION, info.String(L"FileVersion"));
    EXPECT_EQ(L"Lapwatch", info.String(L"InternalName"));
    EXPECT_EQ(kArch.dllName, info.String(L"OriginalFilename"));
    EXPECT_EQ(L"Lapwatch plugin", info.String(L"ProductName"));
    EXPECT_EQ(std::wstring(EXPECTED_VERSION L"  (") + kArch.platform + L")", info.String(L"ProductVersion"));

    struct Translation { WORD language, codePage; }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &bytes));
    EXPECT_EQ(0x409, translation->language);
    EXPECT_EQ(1200, translation->codePage);
}

}  // namespace
