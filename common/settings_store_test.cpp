#include <gtest/gtest.h>

#include <QFileInfo>
#include <sys/stat.h>

#include "common/settings_store.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store = testing::makeStore(dir);
  SettingsKey key() {
    store->createKey(SettingsStore::kConfigKey);
    return *store->openKey(SettingsStore::kConfigKey);
  }
  QString errorOf(const std::function<void()>& fn) {
    try {
      fn();
    } catch (const SettingsError& e) {
      return e.message();
    }
    return "no error";
  }
};

TEST_F(SettingsStoreTest, FileIsPrivateToItsOwner) {
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(store->fileName()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600);
}

TEST_F(SettingsStoreTest, NamesAndKeyPathsMatchWithoutRegardToCase) {
  SettingsKey k = key();
  k.writeInteger("IDTransC3", 4);
  EXPECT_EQ(k.readInteger("idTransC3"), 4);
  k.writeInteger("idtransc3", 5);  // the same value, first spelling kept
  ASSERT_EQ(k.values().size(), 1u);
  EXPECT_EQ(k.values()[0].name, "IDTransC3");
  auto other = store->openKey("hkey_local_machine\\software\\vantorDoruzudo\\CONFIG\\");
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(other->readInteger("IDTRANSC3"), 5);
  EXPECT_EQ(store->keys(), std::vector<QString>{SettingsStore::kConfigKey});
}

TEST_F(SettingsStoreTest, OpeningWithoutCreatingFailsOnAMissingKey) {
  EXPECT_FALSE(store->openKey(SettingsStore::kConfigKey).has_value());
  writeSetting(*store, SettingsStore::kConfigKey, "RamalC4", "");  // editor protocol creates it
  auto k = store->openKey(SettingsStore::kConfigKey);
  ASSERT_TRUE(k.has_value());
  EXPECT_TRUE(k->valueExists("ramalc4"));
}

TEST_F(SettingsStoreTest, StrictReadsRaiseTheRuntimeTexts) {
  SettingsKey k = key();
  k.writeString("FlashC1", "300");
  k.writeInteger("ToquesC1", 5);
  k.writeString("iniwin", "sim");
  k.writeString("DataIniC1", "");
  EXPECT_EQ(errorOf([&] { k.readInteger("ToquesC2"); }), "Failed to get data for 'ToquesC2'");
  EXPECT_EQ(errorOf([&] { k.readInteger("FlashC1"); }), "Invalid data type for 'FlashC1'");
  EXPECT_EQ(errorOf([&] { k.readString("ToquesC1"); }), "Invalid data type for 'ToquesC1'");
  EXPECT_EQ(errorOf([&] { k.readBool("iniwin"); }), "'sim' is not a valid boolean value");
  EXPECT_EQ(errorOf([&] { k.readBool("EstadoJanela"); }), "'' is not a valid boolean value");
  EXPECT_EQ(errorOf([&] { k.readDate("DataIniC1"); }), "'' is not a valid date");
  EXPECT_EQ(k.readString("absent"), "");
  EXPECT_EQ(k.readIntText("FlashC1"), 300);
}

TEST_F(SettingsStoreTest, TextsWithAccentsAndLineBreaksRoundTripThroughTwoConnections) {
  key().writeString("TextoC1", "Olá, ação!\r\nSegunda linha \"citada\" \\ fim");
  auto second = SettingsStore::open(store->fileName());
  ASSERT_TRUE(second.ok());
  EXPECT_EQ((*second)->openKey(SettingsStore::kConfigKey)->readString("textoc1"),
            "Olá, ação!\r\nSegunda linha \"citada\" \\ fim");
}

TEST_F(SettingsStoreTest, AFailedTransactionWritesNothing) {
  SettingsKey k = key();
  k.writeString("Empresa", "antes");
  EXPECT_THROW(store->transaction([&] {
    k.writeString("Empresa", "depois");
    throw SettingsError("stop");
  }),
               SettingsError);
  EXPECT_EQ(k.readString("Empresa"), "antes");
}

}  // namespace
}  // namespace doruzudo
