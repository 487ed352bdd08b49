// The settings store through OpenSettingsKey: what a query returns, what
// survives closing the key, and how a broken or unreachable store behaves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/settings_store.h"
#include "tests/device/board_fixture.h"
#include "tests/persistence/file_bytes.h"

namespace quillmoor::test {
namespace {

using platform::kValueBinary;
using platform::kValueDword;
using platform::kValueString;
using platform::OpenSettingsKey;

constexpr const char* kKeyPath = "Software\\ASCOM\\Focuser Drivers\\Quillmoor.Focuser";

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest() { setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1); }

    std::string ConfigHome() const { return (scratch_.Path() / "config").string(); }
    std::filesystem::path StoreFile() const
    {
        return scratch_.Path() / "config/quillmoor/Software/ASCOM/Focuser Drivers/Quillmoor.Focuser.values";
    }

    static void Put(const char* name, uint32_t type, const std::vector<uint8_t>& data)
    {
        auto key = OpenSettingsKey(kKeyPath);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->Set(name, type, data.data(), static_cast<uint32_t>(data.size())));
    }

    ScratchFolder scratch_;
};

TEST_F(SettingsStoreTest, OpeningCreatesAnEmptyKeyOnDisk)
{
    auto key = OpenSettingsKey(kKeyPath);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(std::filesystem::exists(StoreFile()));
    uint8_t buffer[4] = {};
    uint32_t size = sizeof buffer, type = 0;
    EXPECT_FALSE(key->Query("ComPort", buffer, size, type));
}

TEST_F(SettingsStoreTest, ValuesSurviveClosingWithTheirTypeAndBytes)
{
    Put("ComPort", kValueDword, {0x03, 0x00, 0x00, 0x00});
    Put("StepLenInMicrons", kValueBinary, {0, 0, 0, 0, 0, 0, 0x12, 0x40});
    Put("LogFile", kValueString, Bytes(std::string_view("/tmp/a b\0", 9)));
    Put("Empty", kValueBinary, {});

    auto key = OpenSettingsKey(kKeyPath);
    ASSERT_NE(key, nullptr);
    uint8_t buffer[16] = {};
    uint32_t size = sizeof buffer, type = 0;
    ASSERT_TRUE(key->Query("StepLenInMicrons", buffer, size, type));
    EXPECT_EQ(type, kValueBinary);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + size), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0x12, 0x40}));

    size = sizeof buffer;
    ASSERT_TRUE(key->Query("logfile", buffer, size, type));  // names ignore case
    EXPECT_EQ(type, kValueString);
    EXPECT_EQ(size, 9u);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "/tmp/a b");

    size = sizeof buffer;
    ASSERT_TRUE(key->Query("Empty", buffer, size, type));
    EXPECT_EQ(size, 0u);
}

TEST_F(SettingsStoreTest, QueryThatDoesNotFitFailsAndLeavesTheBufferAlone)
{
    Put("LogFile", kValueString, std::vector<uint8_t>(300, 'x'));
    auto key = OpenSettingsKey(kKeyPath);
    std::vector<uint8_t> buffer(299, 0xEE);
    uint32_t size = 299, type = 0;
    EXPECT_FALSE(key->Query("LogFile", buffer.data(), size, type));
    EXPECT_EQ(buffer, std::vector<uint8_t>(299, 0xEE));

    buffer.assign(300, 0);
    size = 300;
    EXPECT_TRUE(key->Query("LogFile", buffer.data(), size, type));
    EXPECT_EQ(buffer, std::vector<uint8_t>(300, 'x'));
}

TEST_F(SettingsStoreTest, KeyClosedWithoutChangesDoesNotRewriteTheFile)
{
    Put("ComPort", kValueDword, {1, 0, 0, 0});
    struct stat before {};
    ASSERT_EQ(stat(StoreFile().c_str(), &before), 0);
    { auto key = OpenSettingsKey(kKeyPath); }
    struct stat after {};
    ASSERT_EQ(stat(StoreFile().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);  // a save renames a new file into place
}

TEST_F(SettingsStoreTest, SavingLeavesNoTemporaryFilesBehind)
{
    Put("ComPort", kValueDword, {1, 0, 0, 0});
    Put("ComPort", kValueDword, {2, 0, 0, 0});
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(StoreFile().parent_path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(SettingsStoreTest, CorruptStoreReadsAsEmptyAndIsKeptAsideOnSave)
{
    std::filesystem::create_directories(StoreFile().parent_path());
    const std::vector<uint8_t> garbage = {'4', ' ', 'z', 'z', ' ', 'C', 'o', 'm', 'P', 'o', 'r', 't', '\n', 0xFF};
    WriteFileBytes(StoreFile(), garbage);
    {
        auto key = OpenSettingsKey(kKeyPath);
        ASSERT_NE(key, nullptr);
        uint8_t buffer[4] = {};
        uint32_t size = sizeof buffer, type = 0;
        EXPECT_FALSE(key->Query("ComPort", buffer, size, type));
        EXPECT_TRUE(key->Set("ComPort", kValueDword, buffer, 4));
    }
    EXPECT_EQ(ReadFileBytes(StoreFile().string() + ".corrupt"), garbage);
    auto key = OpenSettingsKey(kKeyPath);
    uint8_t buffer[4] = {};
    uint32_t size = sizeof buffer, type = 0;
    EXPECT_TRUE(key->Query("ComPort", buffer, size, type));
}

TEST_F(SettingsStoreTest, StoreCutShortReadsAsEmpty)
{
    Put("ComPort", kValueDword, {1, 0, 0, 0});
    Put("MinMotorStep", kValueDword, {2, 0, 0, 0});
    std::vector<uint8_t> bytes = ReadFileBytes(StoreFile());
    bytes.resize(bytes.size() - 3);  // the end of the last line is missing
    WriteFileBytes(StoreFile(), bytes);
    auto key = OpenSettingsKey(kKeyPath);
    ASSERT_NE(key, nullptr);
    uint8_t buffer[4] = {};
    uint32_t size = sizeof buffer, type = 0;
    EXPECT_FALSE(key->Query("ComPort", buffer, size, type));
}

TEST_F(SettingsStoreTest, UnreachableFolderGivesNoKey)
{
    // A file where the configuration folder should be: nothing can be created
    // under it, whoever runs the test.
    WriteFileBytes(scratch_.Path() / "config", {'x'});
    EXPECT_EQ(OpenSettingsKey(kKeyPath), nullptr);
    EXPECT_EQ(ReadFileBytes(scratch_.Path() / "config"), std::vector<uint8_t>{'x'});
}

TEST_F(SettingsStoreTest, KeyPathsThatLeaveTheStoreAreRefused)
{
    EXPECT_EQ(OpenSettingsKey(""), nullptr);
    EXPECT_EQ(OpenSettingsKey("Software\\..\\..\\escape"), nullptr);
    EXPECT_EQ(OpenSettingsKey("Software\\\\Twice"), nullptr);
    EXPECT_EQ(OpenSettingsKey("Software\\a/b"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(scratch_.Path() / "escape.values"));
}

}  // namespace
}  // namespace quillmoor::test
