#include "common/call_database_rows.h"

namespace doruzudo::calldb {

Status stepAll(sql::Statement& st, const std::function<void(const sql::Statement&)>& read) {
  for (;;) {
    auto row = st.step();
    if (!row) {
      st.reset();
      return row.status();
    }
    if (!*row) break;
    if (read) read(st);
  }
  st.reset();
  return Status::Ok();
}

Status runOne(sql::Database& db, sql::Statement& st, const QString& what) {
  if (Status s = stepAll(st); !s) return s;
  if (db.changes() != 1) return Status::Error(what + QStringLiteral(": no such row"));
  return Status::Ok();
}

std::optional<int> optionalInt(const sql::Statement& st, int column) {
  if (st.isNull(column)) return std::nullopt;
  return st.integer(column);
}

// The columns a number has in telefones and in its campaign's result table.
template <typename Row>
void readNumberColumns(const sql::Statement& st, Row& row) {
  row.codigo = st.int64(0);
  row.telefone = st.text(1);
  row.tentativas = optionalInt(st, 2);
  row.campanha = st.text(3);
  row.idCampanha = st.int64(4);
  row.data = storedDate(st.text(5));
  row.hora = storedTime(st.text(6));
  row.status = st.text(7);
}

PhoneRow readPhone(const sql::Statement& st) {
  PhoneRow row;
  readNumberColumns(st, row);
  row.busy = st.text(8);
  return row;
}

ResultRow readResult(const sql::Statement& st) {
  ResultRow row;
  readNumberColumns(st, row);
  row.opcao1 = st.text(8);
  return row;
}

RecordingRow readRecording(const sql::Statement& st) {
  RecordingRow row;
  row.id = st.int64(0);
  row.ramal = st.text(1);
  row.dataIni = storedDate(st.text(2));
  row.dataFin = storedDate(st.text(3));
  row.horaIni = storedTime(st.text(4));
  row.horaFin = storedTime(st.text(5));
  row.origem = st.text(6);
  row.destino = st.text(7);
  row.obs = st.text(8);
  row.path = st.text(9);
  row.nCanal = st.text(10);
  row.ouvida = st.text(11);
  return row;
}

}  // namespace doruzudo::calldb
