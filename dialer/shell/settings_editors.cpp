#include "dialer/shell/settings_editors.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "common/text_forms.h"
#include "dialer/line/line_report.h"

namespace doruzudo {
namespace {

const QString& key() { return SettingsStore::kConfigKey; }

QString digitValue(const char* base, int k, int n) {
  return QString::fromLatin1(base) + QString::number(k) + QStringLiteral("C") + QString::number(n);
}

}  // namespace

QString actionWord(int index, int channel) {
  switch (index) {
    case 0: return QStringLiteral("SIM");
    case 1: return QStringLiteral("NÃO");
    case 2: return QStringLiteral("Disque Opnião");
    case 3: return QStringLiteral("NoveC%1").arg(channel);
    case 4: return QStringLiteral("ConsBloqueioC%1").arg(channel);
    case 5: return QStringLiteral("Contato");
    case 6: return QStringLiteral("PesqOpniao");
    default: return QString();
  }
}

QString fileNameOf(const QString& path) {
  QString p = path;
  p.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return p.section(QLatin1Char('/'), -1);
}

std::optional<QString> readTextFile(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  return text;
}

SettingsEditors::SettingsEditors(SettingsStore& store,
                                 std::array<ChannelSettings, kChannelCount>& channels,
                                 GeneralSettings& general, Hooks hooks)
    : store_(store), channels_(channels), general_(general), hooks_(std::move(hooks)) {}

void SettingsEditors::write(const QString& name, const QString& text) {
  writeSetting(store_, key(), name, text);
}

void SettingsEditors::write(const QString& name, int32_t value) {
  writeSetting(store_, key(), name, value);
}

// --- message page -----------------------------------------------------------

void SettingsEditors::AudioVozChange(int n, int index) {
  channel(n).AudioVoz = index;
  if (index == 0 || index == 1) {
    const QString word = index == 0 ? QStringLiteral("NÃO") : QStringLiteral("SIM");
    write(chan("TextoHab", n), word);
    settings(n).TextoHab = word;
  }
  write(chan("IDTextoHab", n), index);
  applySourceRule(n, index);
}

void SettingsEditors::applySourceRule(int n, int index) {
  ChannelEditors& e = channel(n);
  if (index == 0) {
    e.edPathVisible = true;
    e.edPathTextoVisible = false;
    e.lbPath = QStringLiteral("Arquivo de Áudio");
    e.lbArquivo = fileNameOf(settings(n).PathAudio);
  } else if (index == 1) {
    e.edPathVisible = false;
    e.edPathTextoVisible = true;
    e.lbPath = QStringLiteral("Arquivo de Texto");
    showSourceFile(n);
  }
}

void SettingsEditors::showSourceFile(int n) {
  const QString& path = settings(n).PathTexto;
  channel(n).lbArquivo = path.isEmpty() ? QStringLiteral("Texto para Voz") : fileNameOf(path);
}

void SettingsEditors::edPathChange(int n, const QString& path) {
  channel(n).edPath = path;
  write(chan("PathAudio", n), path);
  settings(n).PathAudio = path;
  channel(n).lbArquivo = fileNameOf(path);
}

void SettingsEditors::edPathTextoChange(int n, const QString& path) {
  channel(n).edPathTexto = path;
  write(chan("PathTexto", n), path);
  if (const auto text = readTextFile(path)) {
    if (differs(channel(n).Memo, *text)) MemoChange(n, *text);
    settings(n).PathTexto = path;
  }
  if (settings(n).TextoHab == QStringLiteral("SIM")) {
    channel(n).lbArquivo = path.isEmpty() ? QStringLiteral("Texto para Voz") : fileNameOf(path);
  }
}

void SettingsEditors::MemoChange(int n, const QString& text) {
  channel(n).Memo = text;
  write(chan("Texto", n), text);
  settings(n).Texto = text;
}

void SettingsEditors::cbTransChange(int n, int index) {
  channel(n).cbTrans = index;
  const QString word = actionWord(index, n);
  write(chan("Trans", n), word);
  settings(n).Trans = word;
  write(chan("IDTrans", n), index);
  applyActionRule(n, index);
}

void SettingsEditors::applyActionRule(int n, int index) {
  ChannelEditors& e = channel(n);
  e.flashAndRamalEnabled = index == 0 || index == 3 || index == 4;
  e.digitEnabled = {index == 5 || index == 6, index == 5 || index == 6, index == 6};
}

void SettingsEditors::cbFlashChange(int n, int index) {
  channel(n).cbFlash = index;
  const int ms = (index + 1) * 100;
  write(chan("Flash", n), QString::number(ms));
  write(chan("IDFlash", n), index);
  settings(n).Flash = ms;
  settings(n).FlashCode = ConvertFlash(ms);
}

void SettingsEditors::edRamalChange(int n, const QString& text) {
  channel(n).edRamal = text;
  write(chan("Ramal", n), text);
  write(chan("TamDigitos", n), static_cast<int32_t>(text.size()));
  settings(n).Ramal = text;
  settings(n).TamDigitos = static_cast<int>(text.size());
}

void SettingsEditors::cbDigitoChange(int k, int n, int index) {
  channel(n).cbDigito.at(k - 1) = index;
  write(digitValue("Digito", k, n), index + 49);
  write(digitValue("IDDigito", k, n), index);
  settings(n).Digito.at(k - 1) = index + 49;
}

void SettingsEditors::edTextoChange(int k, int n, const QString& text) {
  const QString upper = text.toUpper();
  channel(n).edTexto.at(k - 1) = upper;
  write(digitValue("Texto", k, n), upper);
  settings(n).TextoDigito.at(k - 1) = upper;
}

void SettingsEditors::PathDigitoChange(int k, int n, const QString& path) {
  channel(n).PathDigito.at(k - 1) = path;
  write(digitValue("PathDigito", k, n), path);
  settings(n).PathDigito.at(k - 1) = path;
}

// --- configuration page -------------------------------------------------------

void SettingsEditors::cbToquesChange(int n, int index) {
  channel(n).cbToques = index;
  write(chan("Toques", n), index + 1);
  settings(n).Toques = index + 1;
  if (hooks_.setRingCount) hooks_.setRingCount(n, index + 1);
}

void SettingsEditors::edLinhaChange(int n, const QString& text) {
  channel(n).edLinha = text;
  write(chan("GetLinha", n), text);
  write(chan("LenGetLinha", n), static_cast<int32_t>(text.size()));
  settings(n).GetLinha = text;
  settings(n).LenGetLinha = static_cast<int>(text.size());
}

void SettingsEditors::edOperadoraChange(int n, const QString& text) {
  channel(n).edOperadora = text;
  write(chan("Operadora", n), text);
  write(chan("LenOperadora", n), static_cast<int32_t>(text.size()));
  settings(n).Operadora = text;
  settings(n).LenOperadora = static_cast<int>(text.size());
}

void SettingsEditors::edNomeCampanhaChange(int n, const QString& text) {
  channel(n).edNomeCampanha = text;
  write(chan("Campanha", n), text);
  settings(n).Campanha = text;
}

void SettingsEditors::edTentaChange(int n, const QString& text) {
  channel(n).edTenta = text;
  write(chan("Tentativa", n), text);
  settings(n).Tentativa = text;
}

bool SettingsEditors::EscreveRegistro(const QString& editorText, const QString& name, int mode) {
  if (mode != 0 && mode != 1) return true;
  try {
    write(name, editorText + (mode == 0 ? QStringLiteral(":00") : QStringLiteral(":59")));
  } catch (const SettingsError&) {
    return false;
  }
  return true;
}

void SettingsEditors::PerIniChange(int k, int n, const QString& text) {
  channel(n).PerIni.at(k - 1) = text;
  EscreveRegistro(text, digitValue("PerIni", k, n), 0);
}

void SettingsEditors::PerFinChange(int k, int n, const QString& text) {
  channel(n).PerFin.at(k - 1) = text;
  EscreveRegistro(text, digitValue("PerFin", k, n), 1);
}

void SettingsEditors::DataIniChange(int n, const QDate& date) {
  channel(n).DataIni = date;
  write(chan("DataIni", n), formatDate(date));
  settings(n).DataIni = date;
}

void SettingsEditors::DataFimChange(int n, const QDate& date) {
  channel(n).DataFim = date;
  write(chan("DataFim", n), formatDate(date));
  settings(n).DataFim = date;
}

void SettingsEditors::DataDiscaClick(int n, bool checked) {
  channel(n).DataDisca = checked;
  write(chan("DataDisca", n), boolText(checked));
  settings(n).DataDisca = checked;
}

void SettingsEditors::tbRateChange(int n, int rate) {
  channel(n).tbRate = rate;
  write(chan("Rate", n), rate);
  settings(n).Rate = rate;
  if (hooks_.applyRate) hooks_.applyRate(n, rate);
}

void SettingsEditors::tbVolumeChange(int n, int volume) {
  channel(n).tbVolume = volume;
  write(chan("Volume", n), volume);
  settings(n).Volume = volume;
  if (hooks_.applyVolume) hooks_.applyVolume(n, volume);
}

// --- general page -------------------------------------------------------------

void SettingsEditors::edPathBDChange(const QString& folder) {
  generalEditors_.edPathBD = folder;
  write(QStringLiteral("PathBD"), folder);
  general_.PathBD = folder;
  if (hooks_.reconnectDatabase) hooks_.reconnectDatabase(folder);
}

void SettingsEditors::edPathArquivosChange(const QString& folder) {
  write(QStringLiteral("PathGravacoes"), folder + QLatin1Char('/'));
  const QString stored = store_.openKey(key())->readString(QStringLiteral("PathGravacoes"));
  generalEditors_.edPathArquivos = stored;
  general_.PathGravacoes = stored;
  if (hooks_.recordingsRootChanged) hooks_.recordingsRootChanged(stored);
}

void SettingsEditors::edEmpresaChange(const QString& text) {
  generalEditors_.edEmpresa = text.toUpper();
  write(QStringLiteral("Empresa"), generalEditors_.edEmpresa);
  general_.Empresa = generalEditors_.lbEmpresa = generalEditors_.edEmpresa;
}

void SettingsEditors::edContatoChange(const QString& text) {
  generalEditors_.edContato = text.toUpper();
  write(QStringLiteral("Contato"), generalEditors_.edContato);
  general_.Contato = generalEditors_.lbContato = generalEditors_.edContato;
}

void SettingsEditors::edTelefoneChange(const QString& text) {
  generalEditors_.edTelefone = text.toUpper();
  write(QStringLiteral("Telefone"), generalEditors_.edTelefone);
  general_.Telefone = generalEditors_.lbTelefone = generalEditors_.edTelefone;
}

void SettingsEditors::cbIniciaWindowsClick(bool checked) {
  generalEditors_.cbIniciaWindows = checked;
  if (hooks_.writeAutostart) hooks_.writeAutostart(checked);
  write(QStringLiteral("iniwin"), boolText(checked));
}

void SettingsEditors::cbTipoInicioClick(bool checked) {
  generalEditors_.cbTipoInicio = checked;
  write(QStringLiteral("EstadoJanela"), boolText(checked));
}

void SettingsEditors::edHoraIniChange(int k, const QString& text) {
  generalEditors_.edHoraIni.at(k - 1) = text;
  write(QStringLiteral("HoraIni%1").arg(k), text);
  if (const auto t = parseTime(text + QStringLiteral(":00"))) general_.HoraWindows.at(k - 1).start = *t;
}

void SettingsEditors::edHoraFimChange(int k, const QString& text) {
  generalEditors_.edHoraFim.at(k - 1) = text;
  write(QStringLiteral("HoraFim%1").arg(k), text);
  if (const auto t = parseTime(text + QStringLiteral(":59"))) general_.HoraWindows.at(k - 1).end = *t;
}

void SettingsEditors::edSendToChange(const QString& text) {
  generalEditors_.edSendTo = text.toLower();
  write(QStringLiteral("SendTo"), generalEditors_.edSendTo);
  general_.SendTo = generalEditors_.edSendTo;
}

void SettingsEditors::edUserSMTPChange(const QString& text) {
  generalEditors_.edUserSMTP = text;
  write(QStringLiteral("UserSMTP"), text);
  general_.UserSmtp = text;
}

void SettingsEditors::edSenhaSMTPChange(const QString& text) {
  generalEditors_.edSenhaSMTP = text;
  write(QStringLiteral("SenhaSMTP"), text);
  general_.SenhaSmtp = text;
}

void SettingsEditors::edServerSMTPChange(const QString& text) {
  generalEditors_.edServerSMTP = text;
  write(QStringLiteral("ServerSMTP"), text);
  general_.ServerSmtp = text;
}

void SettingsEditors::edPortaSMTPChange(const QString& text) {
  generalEditors_.edPortaSMTP = text;
  write(QStringLiteral("PortaSMTP"), text);
  if (const auto port = parseInt(text)) general_.PortaSmtp = *port;
}

}  // namespace doruzudo
