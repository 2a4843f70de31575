#pragma once
// The link to the server that an ODBC session and its statements share: the
// connect and the table check, the link replaced when it broke, a refused
// login held until the user asks again, and every driver call that may wait
// for the server run by a deadline (ByDeadline).
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/OdbcEngine.h"
#include "store/OdbcHandles.h"
#include "store/SqlDialect.h"

namespace kwo::store::odbc {

// After a failed connect, statements fail at once for this long instead of
// waiting for the login timeout on every keystroke. A link found broken by a
// statement is replaced at once: the server is most likely there.
constexpr auto kRetryPause = std::chrono::milliseconds(1000);
// How long a call that may reach the server (a search, a prepare, a
// catalog listing, a connect) may keep the caller (the window's thread)
// waiting for a server that accepted it and stopped answering.
constexpr auto kServerDeadline = std::chrono::milliseconds(1500);
// How much longer a call asked to stop at the deadline may take to end:
// together at most 1.9 s, below the 2 s the window may be kept waiting.
constexpr auto kCancelGrace = std::chrono::milliseconds(400);
// A connect cannot be cancelled: it may take as long as a cancelled call.
// The login timeout (2 s, the least libpq takes: it reads 1 as 2) ends the
// thread a connect given up leaves in the driver soon after; a login that
// takes longer than the deadline fails as unreachable, as the driver's own
// timeout would say.
constexpr auto kConnectDeadline = kServerDeadline + kCancelGrace;

// What a driver call given up by its caller leaves to the thread still
// inside the driver: the handles and buffers it uses, freed there once the
// driver returns, statements before their link.
using Keep = std::vector<std::shared_ptr<void>>;

// What the session and its statements share: the link, which the session
// replaces when the server comes back, and the state of the connection.
class Shared {
 public:
  Shared(std::u16string connectString, ConnectCheck check)
      : connectString_(std::move(connectString)), check_(std::move(check)) {}

  std::shared_ptr<Link> link;
  std::u16string dbms;
  SqlDialect dialect;
  bool away = false;
  DbFailure refusal = DbFailure::Other;  // a refused login: no login again until asked
  DbError refusalError;
  bool closed = false;  // the session is gone: its statements connect no more
  bool inTransaction = false;
  bool transactionWritten = false;  // a statement of the open transaction has run
  int64_t changed = 0;
  DbError awayError;
  std::chrono::steady_clock::time_point retryAfter;  // no connect before, after a failed one
  std::map<std::u16string, std::vector<std::u16string>> keys;     // primary-key columns by table
  std::map<std::u16string, std::vector<std::u16string>> columns;  // all columns by table
  // Prepared statements of the current link waiting to be used again, by SQL
  // text: a server parses each statement once per connection.
  std::multimap<std::u16string, std::unique_ptr<Handle>> idle;

  // Forgets the link; its statements go first, while their connection is there.
  void DropLink() {
    idle.clear();
    link.reset();
  }

  bool Connect(DbSession& session, DbError& error);

  // A usable link, connecting again when the last one broke.
  bool Ready(DbSession& session, DbError& error);

  // A broken link may still be replaced: nothing of a transaction is lost with it.
  bool MayReconnect() const { return !inTransaction || !transactionWritten; }

  // Switching autocommit on commits an open transaction on the server: by the deadline.
  bool Autocommit(bool on, DbError& error);

  // Ends the open transaction on the server, by the deadline. A commit given
  // up may still be done by the server once it runs again: the error says so.
  bool EndTran(SQLSMALLINT completion, DbError& error);

  // After a failed call: true when the link broke (the link is then dropped,
  // and an error that said nothing more is told as the server unreachable).
  bool LinkBroke(DbError& error);

  // psqlODBC reports a session ended by the server as a general error
  // ("The connection has been lost") and may not mark the link dead: a
  // statement of its own tells.
  bool LinkAnswers();

  // Runs a driver call that may wait for the server on a thread of its own;
  // the caller waits at most kServerDeadline. Why: the query timeout is the
  // server's to keep, and a server that accepted the call and stopped (its
  // process stopped, its machine paused, packets dropped) never answers,
  // while keep-alives are answered by its system all the same. A call that
  // can be cancelled (`cancel`, SQLCancel on its statement) is asked to stop
  // at the deadline, on a thread of its own as the cancel request itself
  // goes to the server: a server that answers it (a statement waiting for a
  // lock, a long listing) ends the call within kCancelGrace, and the call
  // fails as cancelled (`cancelled` set) with its link kept. Otherwise the
  // link is given up: `handOver` moves what the call uses into the keep of
  // the threads still waiting, freed when the last of them returns. Then
  // false, with the error "server away"; the next statement connects anew
  // after the retry pause.
  bool ByDeadline(std::function<SQLRETURN()> call, const std::function<void(Keep&)>& handOver, SQLRETURN& rc,
                  DbError& error, std::function<void()> cancel = nullptr, bool* cancelled = nullptr,
                  std::chrono::milliseconds deadline = kServerDeadline);

  // The link's server stopped answering: the link is given up (the thread
  // still waiting in the driver frees it). Like after a failed connect, the
  // next statement waits for the retry pause, so that one action of the
  // user meets one deadline at most.
  void AbandonLink(std::multimap<std::u16string, std::unique_ptr<Handle>>& graveyard);

  // A catalog listing (`list` fills the names and gives the listing call's
  // result) on a statement of its own, by the deadline; `listed` false when
  // it failed (a link that broke then is dropped, and the session is away).
  std::vector<std::u16string> Catalog(std::function<SQLRETURN(SQLHANDLE, std::vector<std::u16string>&)> list,
                                      bool& listed);

  const std::vector<std::u16string>& PrimaryKey(const std::u16string& table);
  const std::vector<std::u16string>& Columns(const std::u16string& table);

 private:
  std::u16string connectString_;
  ConnectCheck check_;
};

}  // namespace kwo::store::odbc
