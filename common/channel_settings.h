// The in-memory settings of the dialer: one ChannelSettings per line (1 to 8)
// and one GeneralSettings. Each field bears the name of its stored value
// without the channel suffix C<n>. They are filled at start-up and kept up to
// date by the editors' change handlers; the call engine reads them.
//
// Threads: main thread only.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <array>

namespace doruzudo {

constexpr int kChannelCount = 8;

struct ChannelSettings {
  int Toques = 0;           // rings before "not answering", 1..9
  QString GetLinha;         // digits dialed first for an outside line
  int LenGetLinha = 0;
  QString Operadora;        // carrier code dialed before the number
  int LenOperadora = 0;
  QString Tentativa;        // maximum attempts per number (decimal text)
  QString Campanha;         // campaign table the channel dials
  QDate DataIni, DataFim;   // dialing date range
  bool DataDisca = false;   // dialing restricted to the date range
  std::array<QTime, 3> PerIni{QTime(0, 0), QTime(0, 0), QTime(0, 0)};  // blocked periods
  std::array<QTime, 3> PerFin{QTime(0, 0), QTime(0, 0), QTime(0, 0)};
  QString TextoHab;         // "SIM": spoken text; "NÃO": audio file
  QString PathAudio;        // message audio file
  QString PathTexto;        // text file the spoken text came from
  QString Texto;            // the spoken text
  QString Trans;            // action after the message (action word)
  QString Ramal;            // extension to transfer to
  int TamDigitos = 0;       // number of characters of Ramal
  int Flash = 0;            // hook-flash time in ms, 100..600
  QString FlashCode;        // "$" + two hexadecimal digits
  std::array<int, 3> Digito{0, 0, 0};  // character codes of the menu digits, 49..56
  std::array<QString, 3> TextoDigito;  // Texto1..Texto3: answer text per menu digit
  std::array<QString, 3> PathDigito;   // audio file per menu digit
  QString Ganho;            // "SIM" switches the receive-gain commands on
  int Rate = 0;             // speech rate, -10..10
  int Volume = 100;         // speech volume, 0..100
};

// A general time window; until converted once it is 00:00:00 to 00:00:00.
struct TimeWindow {
  QTime start{0, 0};
  QTime end{0, 0};
};

struct GeneralSettings {
  QString PathGravacoes;    // recordings root, ends with the folder separator
  QString PathBD;           // database folder
  bool iniwin = false;      // start with the desktop session
  bool EstadoJanela = false;  // start hidden in the tray
  int HotKey = 0;           // global hot key (shortcut code)
  QString Empresa, Contato, Telefone;
  std::array<TimeWindow, 4> HoraWindows;  // HoraIni<k>/HoraFim<k>: transfer-block windows
  int TipoArquivo = 0;      // recording type: 0 Wave, 1 MP3
  int SampleRate = 8000;    // recording sample rate in Hz
  int idSampleRate = 0;
  QString SendTo, ServerSmtp, UserSmtp, SenhaSmtp;
  int PortaSmtp = 25;
  bool AuthSeguro = false, Sendmail = false, FimCampanha = false;
  bool CampanhaInicioManual = false, CampanhaPausaManual = false;
};

// The value name of a per-channel setting: channelValue("Toques", 3) is "ToquesC3".
inline QString channelValue(const char* base, int channel) {
  return QString::fromLatin1(base) + QStringLiteral("C") + QString::number(channel);
}

}  // namespace doruzudo
