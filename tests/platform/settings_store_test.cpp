// The settings store through OpenSettingsKey, under a key of the tests' own:
// the registry on Windows, the file store elsewhere, and the same results.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "tests/platform/test_boards.h"

namespace quillmoor::test {
namespace {

using platform::kValueBinary;
using platform::kValueDword;
using platform::kValueString;
using platform::OpenSettingsKey;
using platform::SettingsKey;

using Data = std::vector<uint8_t>;

Data Text(const std::string& text) { return Data(text.c_str(), text.c_str() + text.size() + 1); }  // with its NUL
Data Dword(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

struct Found {
    bool ok = false;
    Data data;
    uint32_t type = 0;
};

Found Query(SettingsKey& key, const char* name, uint32_t capacity = 1024)
{
    Found found;
    Data buffer(capacity);
    uint32_t size = capacity;
    found.ok = key.Query(name, buffer.data(), size, found.type);
    if (found.ok) found.data.assign(buffer.begin(), buffer.begin() + size);
    return found;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest() { RemoveTestKeys(); }
    ~SettingsStoreTest() override { RemoveTestKeys(); }

    static std::string KeyPath(const char* leaf = "Options") { return std::string(kTestKeyRoot) + "\\" + leaf; }

    static std::unique_ptr<SettingsKey> OpenKey(const char* leaf = "Options")
    {
        auto key = OpenSettingsKey(KeyPath(leaf));
        EXPECT_NE(key, nullptr) << KeyPath(leaf);
        return key;
    }

    static void Put(SettingsKey& key, const char* name, uint32_t type, const Data& data)
    {
        EXPECT_TRUE(key.Set(name, type, data.data(), static_cast<uint32_t>(data.size()))) << name;
    }
};

TEST_F(SettingsStoreTest, EachTypeComesBackWithItsBytesSizeAndType)
{
    auto key = OpenKey();
    ASSERT_TRUE(key);
    const Data binary{0x00, 0x0A, 0x0D, 0xFF, 0x12, 0x40, 0x00, 0x00};
    Put(*key, "LogFile", kValueString, Text("C:\\Logs\\focuser trace.txt"));
    Put(*key, "ComPort", kValueDword, Dword(0x01020304));
    Put(*key, "StepLenInMicrons", kValueBinary, binary);
    Put(*key, "Nothing", kValueBinary, {});
    Put(*key, "EmptyText", kValueString, Text(""));

    Found text = Query(*key, "LogFile");
    ASSERT_TRUE(text.ok);
    EXPECT_EQ(text.type, kValueString);
    EXPECT_EQ(text.data, Text("C:\\Logs\\focuser trace.txt")) << "the size counts the NUL";

    Found dword = Query(*key, "ComPort");
    ASSERT_TRUE(dword.ok);
    EXPECT_EQ(dword.type, kValueDword);
    EXPECT_EQ(dword.data, Dword(0x01020304));

    Found bytes = Query(*key, "StepLenInMicrons");
    ASSERT_TRUE(bytes.ok);
    EXPECT_EQ(bytes.type, kValueBinary);
    EXPECT_EQ(bytes.data, binary);

    Found nothing = Query(*key, "Nothing");
    ASSERT_TRUE(nothing.ok);
    EXPECT_EQ(nothing.type, kValueBinary);
    EXPECT_TRUE(nothing.data.empty());

    Found emptyText = Query(*key, "EmptyText");
    ASSERT_TRUE(emptyText.ok);
    EXPECT_EQ(emptyText.type, kValueString);
    EXPECT_EQ(emptyText.data, Data{0});
}

TEST_F(SettingsStoreTest, QueriesThatCannotBeAnsweredFailAndLeaveTheBufferAlone)
{
    auto key = OpenKey();
    ASSERT_TRUE(key);
    Put(*key, "StepLenInMicrons", kValueBinary, Data(16, 0x5A));
    Put(*key, "LogFile", kValueString, Text(std::string(299, 'x')));  // 300 bytes

    struct Case {
        const char* name;
        uint32_t capacity;
    };
    for (const Case& c : {Case{"NoSuchValue", 64}, Case{"StepLenInMicrons", 15}, Case{"LogFile", 299},
                          Case{"StepLenInMicrons", 0}}) {
        SCOPED_TRACE(std::string(c.name) + " into " + std::to_string(c.capacity) + " bytes");
        Data buffer(std::max<uint32_t>(c.capacity, 1), 0xEE);
        uint32_t size = c.capacity, type = 0;
        EXPECT_FALSE(key->Query(c.name, buffer.data(), size, type));
        EXPECT_EQ(buffer, Data(buffer.size(), 0xEE));
    }

    // Exactly the data's length is enough.
    EXPECT_EQ(Query(*key, "StepLenInMicrons", 16).data, Data(16, 0x5A));
    EXPECT_EQ(Query(*key, "LogFile", 300).data, Text(std::string(299, 'x')));
}

TEST_F(SettingsStoreTest, ValuesOutliveTheKeyAndStayInTheirOwnKey)
{
    {
        auto key = OpenKey();
        ASSERT_TRUE(key);
        Put(*key, "ComPort", kValueDword, Dword(7));
        Put(*key, "LogFile", kValueString, Text("trace.log"));
    }
    {
        auto key = OpenKey();
        ASSERT_TRUE(key);
        Found port = Query(*key, "ComPort");
        EXPECT_TRUE(port.ok);
        EXPECT_EQ(port.type, kValueDword);
        EXPECT_EQ(port.data, Dword(7));
        EXPECT_EQ(Query(*key, "LogFile").data, Text("trace.log"));
    }
    auto other = OpenKey("Other");
    ASSERT_TRUE(other);
    EXPECT_FALSE(Query(*other, "ComPort").ok) << "a value belongs to one key";
}

TEST_F(SettingsStoreTest, OverwritingReplacesTypeAndDataWhateverTheNamesCase)
{
    {
        auto key = OpenKey();
        ASSERT_TRUE(key);
        Put(*key, "ComPort", kValueDword, Dword(3));
        Put(*key, "COMPORT", kValueString, Text("COM12"));
        Found port = Query(*key, "comport");
        EXPECT_TRUE(port.ok) << "names match without regard to case";
        EXPECT_EQ(port.type, kValueString);
        EXPECT_EQ(port.data, Text("COM12"));
    }
    auto key = OpenKey();
    ASSERT_TRUE(key);
    Put(*key, "ComPort", kValueBinary, {0x01});
    Found port = Query(*key, "ComPort");
    EXPECT_EQ(port.type, kValueBinary);
    EXPECT_EQ(port.data, Data{0x01}) << "a shorter value leaves nothing of the longer one";
}

TEST_F(SettingsStoreTest, NestedKeysAreCreatedOnOpen)
{
    auto key = OpenSettingsKey(KeyPath("Deep\\Deeper\\Deepest"));
    ASSERT_NE(key, nullptr);
    Put(*key, "ComPort", kValueDword, Dword(1));
    key.reset();
    key = OpenSettingsKey(KeyPath("Deep\\Deeper\\Deepest"));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(Query(*key, "ComPort").data, Dword(1));
}

}  // namespace
}  // namespace quillmoor::test
