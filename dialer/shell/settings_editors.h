// SettingsEditors: the contents of the settings pages' editors and what each
// change does. Every handler stores its value through the editor write
// protocol (create the key if missing, open, write, close) and only then
// updates the in-memory settings, so a failed write (SettingsError, absorbed
// by the caller's error handler) leaves memory as it was while the editor
// shows the new content.
//
// The window's widgets bind to this model; the start-up fills it through the
// fill* functions, which run a change handler only when the content really
// changes (an empty stored value leaves an empty editor alone).
//
// Threads: main thread only.
#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <functional>

#include "common/channel_settings.h"
#include "common/settings_store.h"

namespace doruzudo {

// The editors of one channel block (pages "Mensagens" and "Configurações").
struct ChannelEditors {
  int AudioVoz = -1;  // 0 "Arquivo Audio", 1 "Texto para Voz"
  QString edPath, edPathTexto, Memo;
  int cbTrans = -1, cbFlash = -1, cbToques = -1;
  QString edRamal, edLinha, edOperadora, edNomeCampanha, edTenta;
  std::array<int, 3> cbDigito{-1, -1, -1};
  std::array<QString, 3> edTexto, PathDigito;
  std::array<QString, 3> PerIni, PerFin;  // masked texts "HH:MM"
  QDate DataIni, DataFim;
  bool DataDisca = false;
  int tbRate = 0, tbVolume = 0;

  // What the page shows beside the contents.
  bool flashAndRamalEnabled = true;
  std::array<bool, 3> digitEnabled{false, false, false};
  bool edPathVisible = true, edPathTextoVisible = true;
  QString lbPath;      // "Arquivo de Áudio" / "Arquivo de Texto"
  QString lbArquivo;   // the message file shown on the page "Principal"
};

// The general editors (page "Opções", e-mail page, header labels).
struct GeneralEditors {
  QString edPathBD, edPathArquivos;
  QString edEmpresa, edContato, edTelefone;
  QString lbEmpresa, lbContato, lbTelefone;
  bool cbIniciaWindows = false, cbTipoInicio = false;
  std::array<QString, 4> edHoraIni, edHoraFim;
  QString edSendTo, edUserSMTP, edSenhaSMTP, edServerSMTP, edPortaSMTP;
  bool cbAutenticaSeguro = false, cbSendMail = false, cbFimCampanha = false;
  bool cbInicioCampanha = false, cbPausaCampanha = false;
  int rgTipoArquivo = 0, cbSampleRate = 0;
  int HotKey = 0;
};

// The action words of the after-message list, by item index.
QString actionWord(int index, int channel);

class SettingsEditors {
 public:
  // What a change reaches outside the settings.
  struct Hooks {
    std::function<void(int channel, int rings)> setRingCount;   // cbToques
    std::function<void(const QString& folder)> reconnectDatabase;  // edPathBD
    std::function<void(const QString& root)> recordingsRootChanged;  // edPathArquivos
    std::function<void(int channel, int rate)> applyRate;        // tbRate
    std::function<void(int channel, int volume)> applyVolume;    // tbVolume
    std::function<void(bool on)> writeAutostart;                 // cbIniciaWindows
  };

  SettingsEditors(SettingsStore& store, std::array<ChannelSettings, kChannelCount>& channels,
                  GeneralSettings& general, Hooks hooks = {});

  ChannelEditors& channel(int n) { return editors_.at(n - 1); }
  GeneralEditors& general() { return generalEditors_; }
  ChannelSettings& settings(int n) { return channels_.at(n - 1); }

  // Change handlers, per channel n (1..8); k is a menu digit or period (1..3).
  void AudioVozChange(int n, int index);
  void edPathChange(int n, const QString& path);
  void edPathTextoChange(int n, const QString& path);
  void MemoChange(int n, const QString& text);
  void cbTransChange(int n, int index);
  void cbFlashChange(int n, int index);
  void edRamalChange(int n, const QString& text);
  void cbDigitoChange(int k, int n, int index);
  void edTextoChange(int k, int n, const QString& text);
  void PathDigitoChange(int k, int n, const QString& path);
  void cbToquesChange(int n, int index);
  void edLinhaChange(int n, const QString& text);
  void edOperadoraChange(int n, const QString& text);
  void edNomeCampanhaChange(int n, const QString& text);
  void edTentaChange(int n, const QString& text);
  void PerIniChange(int k, int n, const QString& text);
  void PerFinChange(int k, int n, const QString& text);
  void DataIniChange(int n, const QDate& date);
  void DataFimChange(int n, const QDate& date);
  void DataDiscaClick(int n, bool checked);
  void tbRateChange(int n, int rate);
  void tbVolumeChange(int n, int volume);

  // General handlers.
  void edPathBDChange(const QString& folder);
  void edPathArquivosChange(const QString& folder);
  void edEmpresaChange(const QString& text);
  void edContatoChange(const QString& text);
  void edTelefoneChange(const QString& text);
  void cbIniciaWindowsClick(bool checked);
  void cbTipoInicioClick(bool checked);
  void edHoraIniChange(int k, const QString& text);
  void edHoraFimChange(int k, const QString& text);
  void edSendToChange(const QString& text);
  void edUserSMTPChange(const QString& text);
  void edSenhaSMTPChange(const QString& text);
  void edServerSMTPChange(const QString& text);
  void edPortaSMTPChange(const QString& text);

  // Writes the masked editor's text plus ":00" (mode 0) or ":59" (mode 1)
  // under `name`; other modes write nothing. False when the write failed.
  bool EscreveRegistro(const QString& editorText, const QString& name, int mode);

  // The enabling rule of the after-message list, for its item index.
  void applyActionRule(int n, int index);
  // The message-source rule (editor shown, caption, overview label).
  void applySourceRule(int n, int index);

  // Programmatic fills: a change handler runs only when the content changes.
  static bool differs(const QString& current, const QString& value) { return current != value; }

 private:
  void write(const QString& name, const QString& text);
  void write(const QString& name, int32_t value);
  QString chan(const char* base, int n) const { return channelValue(base, n); }
  void showSourceFile(int n);

  SettingsStore& store_;
  std::array<ChannelSettings, kChannelCount>& channels_;
  GeneralSettings& general_;
  Hooks hooks_;
  std::array<ChannelEditors, kChannelCount> editors_;
  GeneralEditors generalEditors_;
};

// The file name without its folder.
QString fileNameOf(const QString& path);
// Reads a text file (UTF-8, or Latin-1 when it is not valid UTF-8).
std::optional<QString> readTextFile(const QString& path);

}  // namespace doruzudo
