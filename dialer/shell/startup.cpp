// The start-up sequence (FormCreate) of DialerCore, step by step. A failing
// strict read throws StartupReadError and ends the sequence where it stands.
#include <QDir>
#include <QFile>

#include "common/text_forms.h"
#include "dialer/line/line_report.h"
#include "dialer/shell/dialer_core.h"

namespace doruzudo {

namespace {

QString chan(const char* base, int n) { return channelValue(base, n); }

QString digitName(const char* base, int k, int n) {
  return QString::fromLatin1(base) + QString::number(k) + QStringLiteral("C") + QString::number(n);
}

// Fills a text editor as the program does: the change handler runs only when
// the content differs (an empty value leaves an empty editor alone).
template <typename Handler>
void fill(const QString& current, const QString& value, Handler&& handler) {
  if (current != value) handler(value);
}

}  // namespace

void DialerCore::runSteps() {
  // 6: every channel's ring count starts at 0 (the rest of the channel state
  // belongs to the call engine).
  for (int n = 1; n <= kChannelCount; ++n) {
    if (services_.setRingCount) services_.setRingCount(n, 0);
  }
  // 7: open the settings key without creating it.
  key_ = store_.openKey(SettingsStore::kConfigKey);
  stepFolders();
  values_.platform = platformInfo();  // 11
  values_.OsKind = kOsKind;            // 14
  stepSpeechControls();
  stepMessageEditors();
  stepDatesAndMenus();
  stepMailAndWindows();
  stepPeriods();
  stepChannelValues();
  stepGeneralValues();
  stepConnect();
}

void DialerCore::stepFolders() {
  // 8: ProgramFolder and BaseFolder; a new BaseFolder gets "Audio" and "Audio Novo".
  values_.ProgramFolder = folders_.program;
  values_.BaseFolder = folders_.base();
  if (!QDir(values_.BaseFolder).exists()) {
    QDir().mkpath(values_.BaseFolder);
    QDir().mkdir(values_.BaseFolder + QStringLiteral("Audio"));
    QDir().mkdir(values_.BaseFolder + QStringLiteral("Audio Novo"));
  }
  // The default messages ship in the program folder; the channels' default
  // message paths point into BaseFolder: put a copy there when it is missing.
  for (int n = 1; n <= kChannelCount; ++n) {
    const QString name = QStringLiteral("Audio/AudioCanal%1.wav").arg(n);
    if (!QFile::exists(values_.BaseFolder + name) && QFile::exists(values_.ProgramFolder + name)) {
      QDir().mkpath(values_.BaseFolder + QStringLiteral("Audio"));
      QFile::copy(values_.ProgramFolder + name, values_.BaseFolder + name);
    }
  }
  // 9: today's date.
  const QDate today = scheduler_.today();
  values_.TodayYear = today.year();
  values_.TodayMonth = today.month();
  values_.TodayDay = today.day();
  // 10: the recordings root (default ~/Gravações/) and the folder of the day.
  if (readText(QStringLiteral("PathGravacoes")).isEmpty()) {
    QDir().mkpath(folders_.defaultRecordings());
    writeDefault(QStringLiteral("PathGravacoes"), folders_.defaultRecordings());
  }
  const QString root = readText(QStringLiteral("PathGravacoes"));
  values_.RecordingsRoot = root;
  general_.PathGravacoes = root;
  values_.today = CriaPasta(root, today);
  editors_->general().edPathArquivos = root;  // folder editors run nothing when set by program
}

void DialerCore::stepSpeechControls() {
  // 15: speech rate and volume of every channel (strict), applied as a change.
  for (int n = 1; n <= kChannelCount; ++n) {
    editors_->tbRateChange(n, readInt(chan("Rate", n)));
    editors_->tbVolumeChange(n, readInt(chan("Volume", n)));
  }
}

void DialerCore::stepMessageEditors() {
  SettingsEditors& ed = *editors_;
  // 16: the default message file of each channel.
  for (int n = 1; n <= kChannelCount; ++n) {
    if (readText(chan("PathAudio", n)).isEmpty()) {
      writeDefault(chan("PathAudio", n),
                   values_.BaseFolder + QStringLiteral("Audio/AudioCanal%1.wav").arg(n));
    }
  }
  // 17: the after-message action decides whether flash and extension are usable.
  for (int n = 1; n <= kChannelCount; ++n) {
    const int id = readInt(chan("idTrans", n));
    if (id == 1 || id == 2) ed.channel(n).flashAndRamalEnabled = false;
  }
  // 18: the start-up check boxes (a changed state runs its click).
  const bool iniwin = readBool(QStringLiteral("iniwin"));
  if (iniwin != ed.general().cbIniciaWindows) ed.cbIniciaWindowsClick(iniwin);
  const bool hidden = readBool(QStringLiteral("EstadoJanela"));
  if (hidden != ed.general().cbTipoInicio) ed.cbTipoInicioClick(hidden);
  // 19: audio file editors.
  for (int n = 1; n <= kChannelCount; ++n) {
    fill(ed.channel(n).edPath, readText(chan("PathAudio", n)),
         [&](const QString& v) { ed.edPathChange(n, v); });
  }
  // 20: text file editors; any error ends this step quietly.
  try {
    for (int n = 1; n <= kChannelCount; ++n) {
      fill(ed.channel(n).edPathTexto, readText(chan("PathTexto", n)),
           [&](const QString& v) { ed.edPathTextoChange(n, v); });
    }
  } catch (const std::exception&) {
  }
  // 21: extensions.
  for (int n = 1; n <= kChannelCount; ++n) {
    fill(ed.channel(n).edRamal, readText(chan("Ramal", n)),
         [&](const QString& v) { ed.edRamalChange(n, v); });
  }
  // 22: list selections (no change behaviour).
  for (int n = 1; n <= kChannelCount; ++n) {
    ed.channel(n).cbFlash = readInt(chan("idFlash", n));
    ed.channel(n).cbTrans = readInt(chan("idTrans", n));
    ed.channel(n).cbToques = readInt(chan("Toques", n)) - 1;
  }
  // 23: the menu digits' audio files.
  for (int n = 1; n <= kChannelCount; ++n) {
    for (int k = 1; k <= 3; ++k) {
      fill(ed.channel(n).PathDigito[k - 1], readText(digitName("PathDigito", k, n)),
           [&](const QString& v) { ed.PathDigitoChange(k, n, v); });
    }
  }
}

void DialerCore::stepDatesAndMenus() {
  SettingsEditors& ed = *editors_;
  // 24: dialing dates (strict) and the date restriction.
  for (int n = 1; n <= kChannelCount; ++n) {
    ChannelEditors& e = ed.channel(n);
    e.DataIni = readDate(chan("DataIni", n));
    e.DataFim = readDate(chan("DataFim", n));
    channels_[n - 1].DataIni = e.DataIni;
    channels_[n - 1].DataFim = e.DataFim;
    const bool restricted = readBool(chan("DataDisca", n));
    if (restricted != e.DataDisca) ed.DataDiscaClick(n, restricted);
    channels_[n - 1].DataDisca = e.DataDisca;
  }
  // 25: the menu rule of the stored action (indices 5 and 6 enable digits).
  for (int n = 1; n <= kChannelCount; ++n) {
    const int id = ed.channel(n).cbTrans;
    if (id == 5 || id == 6) ed.applyActionRule(n, id);
  }
  // 26: dialing editors.
  for (int n = 1; n <= kChannelCount; ++n) {
    fill(ed.channel(n).edLinha, readText(chan("GetLinha", n)),
         [&](const QString& v) { ed.edLinhaChange(n, v); });
    fill(ed.channel(n).edOperadora, readText(chan("Operadora", n)),
         [&](const QString& v) { ed.edOperadoraChange(n, v); });
    fill(ed.channel(n).edTenta, readText(chan("Tentativa", n)),
         [&](const QString& v) { ed.edTentaChange(n, v); });
    fill(ed.channel(n).edNomeCampanha, readText(chan("Campanha", n)),
         [&](const QString& v) { ed.edNomeCampanhaChange(n, v); });
  }
  // 27: menu digit lists (strict) and their answer texts.
  for (int n = 1; n <= kChannelCount; ++n) {
    for (int k = 1; k <= 3; ++k) {
      ed.channel(n).cbDigito[k - 1] = readInt(digitName("idDigito", k, n));
      fill(ed.channel(n).edTexto[k - 1], readText(digitName("Texto", k, n)),
           [&](const QString& v) { ed.edTextoChange(k, n, v); });
    }
  }
  // 28: receive gain.
  for (int n = 1; n <= kChannelCount; ++n) channels_[n - 1].Ganho = readText(chan("Ganho", n));
}

void DialerCore::stepMailAndWindows() {
  SettingsEditors& ed = *editors_;
  GeneralEditors& g = ed.general();
  // 29: e-mail editors (text editors run their change; check boxes do not).
  fill(g.edSendTo, readText(QStringLiteral("SendTo")), [&](const QString& v) { ed.edSendToChange(v); });
  fill(g.edUserSMTP, readText(QStringLiteral("UserSmtp")),
       [&](const QString& v) { ed.edUserSMTPChange(v); });
  fill(g.edSenhaSMTP, readText(QStringLiteral("SenhaSmtp")),
       [&](const QString& v) { ed.edSenhaSMTPChange(v); });
  fill(g.edServerSMTP, readText(QStringLiteral("ServerSmtp")),
       [&](const QString& v) { ed.edServerSMTPChange(v); });
  fill(g.edPortaSMTP, readText(QStringLiteral("PortaSmtp")),
       [&](const QString& v) { ed.edPortaSMTPChange(v); });
  const auto port = parseInt(g.edPortaSMTP);
  if (!port) {
    throw StartupReadError(QStringLiteral("PortaSmtp"),
                           QStringLiteral("'%1' is not a valid integer value").arg(g.edPortaSMTP));
  }
  general_.PortaSmtp = *port;
  general_.SendTo = g.edSendTo;
  general_.UserSmtp = g.edUserSMTP;
  general_.SenhaSmtp = g.edSenhaSMTP;
  general_.ServerSmtp = g.edServerSMTP;
  general_.AuthSeguro = g.cbAutenticaSeguro = readBool(QStringLiteral("AuthSeguro"));
  general_.Sendmail = g.cbSendMail = readBool(QStringLiteral("Sendmail"));
  general_.FimCampanha = g.cbFimCampanha = readBool(QStringLiteral("FimCampanha"));
  general_.CampanhaInicioManual = g.cbInicioCampanha =
      readBool(QStringLiteral("CampanhaInicioManual"));
  general_.CampanhaPausaManual = g.cbPausaCampanha = readBool(QStringLiteral("CampanhaPausaManual"));
  // 30: start hidden.
  values_.StartHidden = general_.EstadoJanela = readBool(QStringLiteral("EstadoJanela"));
  // 31: the transfer-block windows; a value that does not convert stays 00:00:00.
  try {
    for (int k = 1; k <= 4; ++k) {
      fill(g.edHoraIni[k - 1], readText(QStringLiteral("HoraIni%1").arg(k)),
           [&](const QString& v) { ed.edHoraIniChange(k, v); });
      fill(g.edHoraFim[k - 1], readText(QStringLiteral("HoraFim%1").arg(k)),
           [&](const QString& v) { ed.edHoraFimChange(k, v); });
    }
    for (int k = 1; k <= 4; ++k) {
      TimeWindow& w = general_.HoraWindows[k - 1];
      w.start = parseTime(g.edHoraIni[k - 1] + QStringLiteral(":00")).value_or(QTime(0, 0));
      w.end = parseTime(g.edHoraFim[k - 1] + QStringLiteral(":59")).value_or(QTime(0, 0));
    }
  } catch (const std::exception&) {
  }
}

void DialerCore::stepPeriods() {
  SettingsEditors& ed = *editors_;
  // 32: dialing values taken from their editors.
  for (int n = 1; n <= kChannelCount; ++n) {
    ChannelSettings& c = channels_[n - 1];
    const ChannelEditors& e = ed.channel(n);
    c.GetLinha = e.edLinha;
    c.LenGetLinha = static_cast<int>(e.edLinha.size());
    c.Operadora = e.edOperadora;
    c.LenOperadora = static_cast<int>(e.edOperadora.size());
    c.Tentativa = e.edTenta;
  }
  // 33: the 48 period editors get the first five characters of the stored
  // values; then the full values convert in the same order until the first
  // one that does not, which and every later one stay 00:00:00.
  struct Period {
    bool start;
    int k, n;
  };
  std::vector<Period> order;
  for (bool start : {true, false}) {
    for (int k = 1; k <= 3; ++k) {
      for (int n = 1; n <= kChannelCount; ++n) order.push_back({start, k, n});
    }
  }
  try {
    std::vector<QString> stored;
    for (const Period& p : order) {
      const QString name = digitName(p.start ? "PerIni" : "PerFin", p.k, p.n);
      const QString value = readText(name);
      stored.push_back(value);
      QString& editor = p.start ? ed.channel(p.n).PerIni[p.k - 1] : ed.channel(p.n).PerFin[p.k - 1];
      fill(editor, value.left(5), [&](const QString& v) {
        p.start ? ed.PerIniChange(p.k, p.n, v) : ed.PerFinChange(p.k, p.n, v);
      });
    }
    for (size_t i = 0; i < order.size(); ++i) {
      const auto time = parseTime(stored[i]);
      if (!time) break;
      ChannelSettings& c = channels_[order[i].n - 1];
      (order[i].start ? c.PerIni : c.PerFin)[order[i].k - 1] = *time;
    }
  } catch (const std::exception&) {
  }
}

void DialerCore::stepChannelValues() {
  SettingsEditors& ed = *editors_;
  for (int n = 1; n <= kChannelCount; ++n) {  // 34: flash codes (strict)
    channels_[n - 1].FlashCode = ConvertFlash(readIntText(chan("Flash", n)));
  }
  for (int n = 1; n <= kChannelCount; ++n) {  // 35: rings (strict); ring counts back to 0
    channels_[n - 1].Toques = readInt(chan("Toques", n));
    if (services_.setRingCount) services_.setRingCount(n, 0);
  }
  for (int n = 1; n <= kChannelCount; ++n) {  // 36: message source list
    ed.channel(n).AudioVoz = readInt(chan("IDTextoHab", n));
  }
  for (int n = 1; n <= kChannelCount; ++n) {  // 37: the speech text
    fill(ed.channel(n).Memo, readText(chan("Texto", n)), [&](const QString& v) { ed.MemoChange(n, v); });
    channels_[n - 1].Texto = ed.channel(n).Memo;
  }
  for (int n = 1; n <= kChannelCount; ++n) {  // 38: the rest of the channel's values
    ChannelSettings& c = channels_[n - 1];
    c.PathAudio = readText(chan("PathAudio", n));
    c.Trans = readText(chan("Trans", n));
    for (int k = 1; k <= 3; ++k) c.Digito[k - 1] = readInt(digitName("Digito", k, n));
    c.Ramal = readText(chan("Ramal", n));
    c.TamDigitos = readInt(chan("TamDigitos", n));
    c.Flash = readIntText(chan("Flash", n));
    c.TextoHab = readText(chan("TextoHab", n));
    c.PathTexto = readText(chan("PathTexto", n));
  }
  // 39: recording settings.
  general_.TipoArquivo = readInt(QStringLiteral("TipoArquivo"));
  general_.SampleRate = readInt(QStringLiteral("SampleRate"));
  ed.general().rgTipoArquivo = general_.TipoArquivo;
  general_.idSampleRate = ed.general().cbSampleRate = readInt(QStringLiteral("idSampleRate"));
  for (int n = 1; n <= kChannelCount; ++n) {  // 40: which file editor shows
    const int id = readInt(chan("idTextoHab", n));
    ChannelEditors& e = ed.channel(n);
    if (id == 0 || id == 1) {
      e.edPathVisible = id == 0;
      e.edPathTextoVisible = id == 1;
      e.lbPath = id == 0 ? QStringLiteral("Arquivo de Áudio") : QStringLiteral("Arquivo de Texto");
    }
  }
  for (int n = 1; n <= kChannelCount; ++n) {  // 41: the overview label
    const ChannelSettings& c = channels_[n - 1];
    if (c.TextoHab == QStringLiteral("NÃO")) {
      ed.channel(n).lbArquivo = fileNameOf(c.PathAudio);
    } else if (c.TextoHab == QStringLiteral("SIM")) {
      ed.channel(n).lbArquivo =
          c.PathTexto.isEmpty() ? QStringLiteral("Texto para Voz") : fileNameOf(c.PathTexto);
    }
  }
}

void DialerCore::stepGeneralValues() {
  SettingsEditors& ed = *editors_;
  GeneralEditors& g = ed.general();
  // 42: company data in the editors and the header.
  fill(g.edContato, readText(QStringLiteral("Contato")), [&](const QString& v) { ed.edContatoChange(v); });
  g.lbContato = readText(QStringLiteral("Contato"));
  g.lbEmpresa = readText(QStringLiteral("Empresa"));
  fill(g.edEmpresa, g.lbEmpresa, [&](const QString& v) { ed.edEmpresaChange(v); });
  g.lbTelefone = readText(QStringLiteral("Telefone"));
  fill(g.edTelefone, g.lbTelefone, [&](const QString& v) { ed.edTelefoneChange(v); });
  // 43: the global hot key (strict).
  general_.HotKey = g.HotKey = readInt(QStringLiteral("HotKey"));
  // 45 to 47: voices and their outputs.
  if (services_.bindVoices) services_.bindVoices();
  // 48: the database folder, logged as read; default ~/Doruzudo/Dados.
  values_.DatabaseFolder = readText(QStringLiteral("PathBD"));
  log_.AddMsg(values_.DatabaseFolder);
  if (values_.DatabaseFolder.isEmpty()) {
    writeDefault(QStringLiteral("PathBD"), folders_.defaultDatabase());
    values_.DatabaseFolder = readText(QStringLiteral("PathBD"));
  }
  general_.PathBD = g.edPathBD = values_.DatabaseFolder;
  // 49: close the key.
  key_.reset();
}

void DialerCore::stepConnect() {
  // 50 to 52: the database, the unheard recordings and their refresh.
  if (services_.connectDatabase) {
    services_.connectDatabase(values_.DatabaseFolder);
  } else {
    log_.AddMsg(QStringLiteral("Não foi possível se conectar ao banco de dados."));
    log_.AddMsg(QStringLiteral("Não foi possível carregar gravações não ouvidas."));
  }
  log_.startLimitCheck();
  // 53: the line interface starts seven seconds later, once.
  log_.AddMsg(QStringLiteral("Localizando Hardware, aguarde..."));
  tIniciaHid_ = scheduler_.createTimer(QStringLiteral("tIniciaHid"), kIniciaHidMs, [this] {
    tIniciaHid_->stop();
    if (services_.startLineInterface) services_.startLineInterface();
  });
  tIniciaHid_->start();
}

}  // namespace doruzudo
