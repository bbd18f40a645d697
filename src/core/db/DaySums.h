#pragma once

#include <QStringList>

#include <limits>

namespace selvo::db {

class Database;

// Day sums: the rows of a table added up per day and per every value the sales records window
// filters on, so that its summary lines need not read every order and recharge record. The
// database keeps them in step through triggers on the summed table; nothing else writes them.
//
//   tb_OrderDaySums from tb_orders: one row per (DateState, SaleDay, CustKind, PayType, OrderType,
//     SaleManID) with OrderCount and the sums RealTotal (of RealTotalPrice), Points (of Integral)
//     and Profits.
//   tb_TopupDaySums from tb_TopupRecord: one row per (DateState, AddDay, CustKind, OpType,
//     SaleManID) with RecordCount and the sums Amount, Giving and Total.
//
// DateState 0: the day column holds the day of the date (SaleDate, AddDate), and a whole-day range
//              on the date matches exactly the rows whose day lies in the range.
//           1: the date is NULL (no date filter matches it).
//           2: the date is text that is not a plain date-time (SQLite only); a date filter cannot
//              be answered from the day sums while such rows exist.
// CustKind  0: MemID is NULL, 1: MemID <> -1 (a member), 2: MemID = -1 (a walk-in guest).
// A NULL code (PayType, OrderType, OpType, SaleManID) is kept as kDaySumNoValue, so a filter for
// that very value must not be answered from the day sums.
inline constexpr int kDaySumNoValue = std::numeric_limits<int>::min();

// Creates both tables and their triggers and fills them from the rows already there (a migration
// step).
bool CreateDaySums(Database& db);
// Empties both tables and adds the rows up again: after a bulk load with the triggers switched off.
bool RefillDaySums(Database& db);

// What is wrong with the day sums, one line each: a missing table or trigger, or days whose sums
// disagree with the rows. Reads only (every order and recharge record, once).
QStringList CheckDaySums(Database& db);

} // namespace selvo::db
