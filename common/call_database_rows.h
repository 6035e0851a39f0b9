// Internal to CallDatabase: stepping statements to their end and reading the
// rows of each table in the column order its SELECT lists name.
// Threads: as CallDatabase.
#pragma once

#include <functional>

#include "common/call_database.h"

namespace doruzudo::calldb {

// Steps `st` to its end, handing each row to `read`. A write is done only when
// the statement reports it is done: every step's result is checked, also
// after the rows of a RETURNING clause.
Status stepAll(sql::Statement& st, const std::function<void(const sql::Statement&)>& read = {});
// Runs a write that must change exactly one row.
Status runOne(sql::Database& db, sql::Statement& st, const QString& what);

std::optional<int> optionalInt(const sql::Statement& st, int column);

// SELECT list and reader of telefones rows.
inline constexpr const char* kPhoneColumns =
    R"("código",Telefone,Tentativas,Campanha,ID_Campanha,Data,Hora,Status,Busy)";
PhoneRow readPhone(const sql::Statement& st);

inline constexpr const char* kResultColumns =
    "Codigo,Telefone,Tentativas,Campanha,ID_Campanha,Data,Hora,Status,Opcao1";
ResultRow readResult(const sql::Statement& st);

inline constexpr const char* kRecordingColumns =
    "id,ramal,data_ini,data_fin,hora_ini,hora_fin,origem,destino,obs,path,nCanal,ouvida";
RecordingRow readRecording(const sql::Statement& st);

}  // namespace doruzudo::calldb
