#include <gtest/gtest.h>

#include "common/sqlite.h"
#include "dialer/shell/settings_editors.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

class SettingsEditorsTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store = testing::makeStore(dir);
  std::array<ChannelSettings, kChannelCount> channels;
  GeneralSettings general;
  std::vector<std::pair<int, int>> ringCounts;
  SettingsEditors editors{*store, channels, general,
                          SettingsEditors::Hooks{[this](int n, int r) { ringCounts.emplace_back(n, r); }}};

  SettingsKey key() { return *store->openKey(SettingsStore::kConfigKey); }
};

TEST_F(SettingsEditorsTest, TheActionListStoresItsWordAndIndexAndGovernsTheEditors) {
  struct Case {
    int index;
    const char* word;
    bool flash;
    std::array<bool, 3> digits;
  } cases[] = {{0, "SIM", true, {false, false, false}},
               {1, "NÃO", false, {false, false, false}},
               {2, "Disque Opnião", false, {false, false, false}},
               {3, "NoveC5", true, {false, false, false}},
               {4, "ConsBloqueioC5", true, {false, false, false}},
               {5, "Contato", false, {true, true, false}},
               {6, "PesqOpniao", false, {true, true, true}}};
  for (const auto& c : cases) {
    editors.cbTransChange(5, c.index);  // the editor protocol creates the key the first time
    EXPECT_EQ(key().readString("TransC5"), c.word);
    EXPECT_EQ(key().readInteger("IDTransC5"), c.index);
    EXPECT_EQ(channels[4].Trans, c.word);
    EXPECT_EQ(editors.channel(5).flashAndRamalEnabled, c.flash) << c.index;
    EXPECT_EQ(editors.channel(5).digitEnabled, c.digits) << c.index;
  }
}

TEST_F(SettingsEditorsTest, FlashTimesGiveTheirLineCodes) {
  const char* codes[] = {"$09", "$11", "$19", "$22", "$2A", "$32"};
  for (int index = 0; index < 6; ++index) {
    editors.cbFlashChange(2, index);
    EXPECT_EQ(key().readString("FlashC2"), QString::number((index + 1) * 100));
    EXPECT_EQ(key().readInteger("IDFlashC2"), index);
    EXPECT_EQ(channels[1].Flash, (index + 1) * 100);
    EXPECT_EQ(channels[1].FlashCode, codes[index]);
  }
}

TEST_F(SettingsEditorsTest, TextsStoreTheirLengthsDigitsTheirCodesAndRingsTheCounter) {
  editors.edRamalChange(4, "2001");
  editors.edRamalChange(4, "");
  EXPECT_EQ(key().readString("RamalC4"), "");
  EXPECT_EQ(key().readInteger("TamDigitosC4"), 0);
  editors.edLinhaChange(1, "0");
  EXPECT_EQ(key().readInteger("LenGetLinhaC1"), 1);
  EXPECT_EQ(channels[0].GetLinha, "0");
  editors.cbDigitoChange(2, 7, 2);
  EXPECT_EQ(key().readInteger("Digito2C7"), 51);
  EXPECT_EQ(key().readInteger("IDDigito2C7"), 2);
  editors.edTextoChange(1, 6, "satisfeito");
  EXPECT_EQ(channels[5].TextoDigito[0], "SATISFEITO");
  editors.cbToquesChange(2, 4);
  EXPECT_EQ(key().readInteger("ToquesC2"), 5);
  EXPECT_EQ(channels[1].Toques, 5);
  EXPECT_EQ(ringCounts, (std::vector<std::pair<int, int>>{{2, 5}}));
  editors.PerFinChange(2, 4, "18:30");
  EXPECT_EQ(key().readString("PerFin2C4"), "18:30:59");
  EXPECT_EQ(channels[3].PerFin[1], QTime(0, 0));  // periods apply from the next start
  EXPECT_TRUE(editors.EscreveRegistro("10:00", "PerIni1C1", 2));  // other modes write nothing
  EXPECT_FALSE(key().valueExists("PerIni1C1"));
}

TEST_F(SettingsEditorsTest, TheMessageSourceShowsItsFile) {
  editors.AudioVozChange(3, 1);
  EXPECT_EQ(key().readString("TextoHabC3"), "SIM");
  EXPECT_EQ(editors.channel(3).lbArquivo, "Texto para Voz");
  EXPECT_EQ(editors.channel(3).lbPath, "Arquivo de Texto");
  EXPECT_FALSE(editors.channel(3).edPathVisible);
  editors.edPathChange(3, "/srv/msg/boas-vindas.wav");
  editors.AudioVozChange(3, 0);
  EXPECT_EQ(key().readString("TextoHabC3"), "NÃO");
  EXPECT_EQ(editors.channel(3).lbArquivo, "boas-vindas.wav");
}

TEST_F(SettingsEditorsTest, TransferWindowsKeepTheirLastGoodTime) {
  editors.edHoraIniChange(1, "08:30");
  editors.edHoraFimChange(1, "12:00");
  editors.edHoraFimChange(1, "  :  ");
  EXPECT_EQ(key().readString("HoraFim1"), "  :  ");
  EXPECT_EQ(general.HoraWindows[0].start, QTime(8, 30, 0));
  EXPECT_EQ(general.HoraWindows[0].end, QTime(12, 0, 59));
  editors.edEmpresaChange("quorix ltda");
  EXPECT_EQ(key().readString("Empresa"), "QUORIX LTDA");
  EXPECT_EQ(editors.general().lbEmpresa, "QUORIX LTDA");
}

TEST_F(SettingsEditorsTest, AFailedWriteLeavesTheValueInMemoryAsItWas) {
  editors.edRamalChange(4, "2001");
  {
    auto db = sql::Database::open(store->fileName());
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE((*db)->exec("CREATE TRIGGER refuse BEFORE UPDATE ON vals WHEN NEW.folded = 'ramalc4' "
                            "BEGIN SELECT RAISE(ABORT, 'read-only'); END;")
                    .ok());
  }
  EXPECT_THROW(editors.edRamalChange(4, "3005"), SettingsError);
  EXPECT_EQ(editors.channel(4).edRamal, "3005");  // the editor shows what was typed
  EXPECT_EQ(channels[3].Ramal, "2001");
  EXPECT_EQ(key().readString("RamalC4"), "2001");
}

}  // namespace
}  // namespace doruzudo
