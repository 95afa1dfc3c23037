// The settings store against the real registry of the test's Wine prefix.
// A key of its own keeps it apart from the program's settings.

#include "settings/SettingsStore.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const char kProduct[] = "VistrelStoreTest";
const char kPath[] = "Software\\Quorvane\\VistrelStoreTest";

void DeleteTestKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
}

struct Raw {
    DWORD type = 0;
    std::string bytes;
};

// A value as the registry holds it, read without the store.
bool ReadRaw(const char* name, Raw& raw) {
    DWORD size = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kPath, name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    raw.bytes.assign(size, '\0');
    return RegGetValueA(HKEY_CURRENT_USER, kPath, name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type, &raw.bytes[0],
                        &size) == ERROR_SUCCESS;
}

void WriteRaw(const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(
        RegSetKeyValueA(HKEY_CURRENT_USER, kPath, name, type, bytes.data(), static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteTestKey(); }
    void TearDown() override { DeleteTestKey(); }
};

} // namespace

TEST_F(SettingsStoreTest, NewKeyIsCreatedAndMissingValuesReadAsMinusOneOrEmpty) {
    SettingsStore store(kProduct);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key), ERROR_SUCCESS) << "key not created";
    RegCloseKey(key);
    EXPECT_EQ(store.ReadNumber(IDS_MOUSE), -1);
    EXPECT_EQ(store.ReadNumber(IDS_DELAY), -1);
    EXPECT_EQ(store.ReadText(IDS_FILE_NAME), "");
    EXPECT_EQ(store.ReadText(IDS_LAST_WHAT_SELECTION), "");
}

TEST_F(SettingsStoreTest, ValuesLandUnderTheirNamesAndSurviveANewStore) {
    {
        SettingsStore store(kProduct);
        store.WriteNumber(IDS_X_POSITION, -25);
        store.WriteNumber(IDS_SECONDS, 0x7FFFFFFF);
        store.WriteNumber(IDS_SOUND, 0);
        store.WriteText(IDS_LAST_TO_SELECTION, "Save result as PNG");
        store.WriteText(IDS_FILE_NAME, "");
        store.Flush();
    }
    Raw raw;
    ASSERT_TRUE(ReadRaw("xPosition", raw));
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.bytes, std::string("\xE7\xFF\xFF\xFF", 4));
    ASSERT_TRUE(ReadRaw("lastToSelection", raw));
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, std::string("Save result as PNG\0", 19)) << "stored with its terminating zero";

    SettingsStore again(kProduct);
    EXPECT_EQ(again.ReadNumber(IDS_X_POSITION), -25);
    EXPECT_EQ(again.ReadNumber(IDS_SECONDS), 0x7FFFFFFF);
    EXPECT_EQ(again.ReadNumber(IDS_SOUND), 0);
    EXPECT_EQ(again.ReadText(IDS_LAST_TO_SELECTION), "Save result as PNG");
    EXPECT_EQ(again.ReadText(IDS_FILE_NAME), "");
}

TEST_F(SettingsStoreTest, LongTextsComeBackWhole) {
    const std::string name300 = "C:\\captures\\" + std::string(288, 'n');
    const std::string name5000(5000, 'x');
    {
        SettingsStore store(kProduct);
        store.WriteText(IDS_FILE_NAME, name300);
        store.WriteText(IDS_LAST_HOW_SELECTION, name5000);
    }
    ASSERT_EQ(name300.size(), 300u);
    SettingsStore store(kProduct);
    EXPECT_EQ(store.ReadText(IDS_FILE_NAME), name300);
    EXPECT_EQ(store.ReadText(IDS_LAST_HOW_SELECTION), name5000);
}

TEST_F(SettingsStoreTest, ValuesWrittenByOtherToolsAreReadSafely) {
    SettingsStore store(kProduct);
    // A text without its terminating zero still ends where the data ends.
    WriteRaw("fileName", REG_SZ, "abc");
    EXPECT_EQ(store.ReadText(IDS_FILE_NAME), "abc");
    // A short text read as a number gives its raw bytes over -1.
    WriteRaw("delay", REG_SZ, std::string("ab\0", 3));
    EXPECT_EQ(static_cast<unsigned>(store.ReadNumber(IDS_DELAY)), 0xFF006261u);
    // Anything longer than a number is no number.
    WriteRaw("width", REG_SZ, std::string("12345\0", 6));
    EXPECT_EQ(store.ReadNumber(IDS_WIDTH), -1);
    // A number read as a text is cut at its first zero byte.
    WriteRaw("lastWhatSelection", REG_DWORD, std::string("AB\0\0", 4));
    EXPECT_EQ(store.ReadText(IDS_LAST_WHAT_SELECTION), "AB");
}
