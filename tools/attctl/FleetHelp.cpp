// The long help of the fleet commands: what attctl sync --help, export --help, status --help,
// serve --help and roster plan/apply/pull --help show.
#include "attctl/CommandTable.h"

namespace {

const char SyncDetails[] = R"(Each punch is stored once, however often and on however many machines the
sync runs; a terminal's records are deleted (clear-after-sync) only once they
are committed to the database.

options:
  --fleet FILE             the fleet file (below)
  --db URL                 sqlite:PATH or postgresql://USER@HOST:PORT/DATABASE;
                           default sqlite:$XDG_DATA_HOME/zevo/punches.sqlite
                           (~/.local/share/zevo/punches.sqlite)
  --jobs N                 lines synced at once (default 4)
  --dry-run                identify each terminal and report its clock and the
                           records waiting; store, delete and set nothing
  --set-clock-beyond SECONDS
                           set the clock of a terminal that drifts more
  --lock-wait SECONDS      wait for a line another sync uses (default 60)
  --lock-dir DIR           the folder of the line locks
                           (default $XDG_RUNTIME_DIR/zevo-sync)
  --link-settings FILE     the link's AttLink.ini (default: the console's)
  --metrics FILE           after the sync, write the fleet's health in the
                           Prometheus text format to FILE whole

fleet file: UTF-8 INI, one [section] per terminal, the section's name being
the terminal's name in reports and exports; # and ; start comments.
  line = tcp:HOST:PORT | serial:DEVICE[,BAUD]     required
  address = 0..255                                required
  clear-after-sync = true | false                 default false
  clock-tolerance = SECONDS                       drift beyond it is marked
Terminals with the same line are synced one after the other over it.

examples:
  attctl sync --fleet /etc/zevo/fleet.ini --dry-run
  attctl sync --fleet fleet.ini --db sqlite:/var/lib/zevo/punches.sqlite
  attctl sync --fleet fleet.ini --db postgresql://zevo@db.example/attendance

exit status: 0 every terminal synced; 4 a terminal failed (the others were
synced) or the database cannot be used; 5 the metrics file could not be
written (everything was stored); 2 a usage error or a bad fleet file.
More, and an example fleet file: /usr/share/doc/zevo/sync.md and
examples/fleet.ini (/usr/local/share/doc/zevo for a /usr/local install).
)";

const char ExportDetails[] = R"(Punches in time order, from the database a sync writes.

options:
  --db URL         sqlite:PATH or postgresql://USER@HOST:PORT/DATABASE;
                   default sqlite:$XDG_DATA_HOME/zevo/punches.sqlite
                   (~/.local/share/zevo/punches.sqlite)
  --from DATE      yyyy-MM-dd (the whole day) or yyyy-MM-ddTHH:mm:ss,
  --to DATE        inclusive, in the terminals' own wall-clock time
  --terminal NAME  only the terminal of that name in the fleet file
  --format F       csv (default: UTF-8, a header row), jsonl (one JSON object a
                   line), layout (the console's DataRecordSet.txt: GB18030) or
                   roster-csv (the rosters roster pull stored)
  --layout TEXT    with --format layout: the fields, as collect takes them
  --decimal        with --format layout: decimal card numbers
  --full-year      with --format layout: four-digit years
  --spreadsheet-safe
                   with --format csv: a cell starting with = + - @ gets an
                   apostrophe, so that a spreadsheet does not run it
  --out FILE       write FILE whole or not at all (default: standard output)

examples:
  attctl export --from 2026-12-01 --to 2026-12-31 --out december.csv
  attctl export --db sqlite:/var/lib/zevo/punches.sqlite --terminal 正门 \
      --format jsonl
  attctl export --format layout --layout '{卡号},{年}-{月}-{日} {时}:{分}' \
      --out DataRecordSet.txt

exit status: 0 written; 4 the database cannot be read; 5 the file or standard
output could not be written (the earlier file is kept); 2 a usage error.
)";

const char StatusDetails[] = R"(One row per terminal of the database, read only (also while a sync
runs).

options:
  --db URL          the database, as for sync
  --json            one JSON object a terminal a line
  --stale DURATION  no successful sync for longer is stale (default 2h;
                    s, m, h or d)
  --fill PERCENT    a memory fuller is filling (default 80)

states: ok; failing (its last sync failed); stale; lost (records overwritten
before they were collected, in the last 7 days); filling (fuller than --fill,
or full within 7 days at the last week's rate).

examples:
  attctl status
  attctl status --db sqlite:/var/lib/zevo/punches.sqlite --stale 90m --json

exit status: 0 every terminal is ok; 6 one is not; 4 the database is missing,
empty or cannot be read; 2 a usage error.
)";

const char ServeDetails[] = R"(A web dashboard of the database for a browser, read only: the fleet (/),
one terminal over time (/terminal/IDENTITY), the punches of a day
(/punches?date=&terminal=&card=, a page at a time, with CSV), their JSON
(/api/status, /api/punches) and the Prometheus metrics (/metrics).

options:
  --db URL                the database, as for sync
  --listen ADDRESS:PORT   default 127.0.0.1:8470; port 0 takes a free one
  --token-file FILE       a secret of one line (16 characters or more), asked
                          as a bearer token or through the sign-in form;
                          required for any address but the loopback

examples:
  attctl serve --db sqlite:/var/lib/zevo/punches.sqlite
  attctl serve --listen 0.0.0.0:8470 --token-file /etc/zevo/web-token

Runs until SIGTERM or Ctrl-C. exit status: 0 stopped; 3 the address cannot
be listened on; 2 a usage error (also another address without a token).
)";

const char RosterDetails[] = R"(Cards across a fleet: the list of cards is the source of truth and every
terminal is brought to it.
  roster plan   what apply would add, change and remove; changes nothing
  roster apply  add and change what differs; withdraw unlisted cards only with
                --remove-unlisted; safe to run again
  roster pull   store every terminal's roster in the database (table rosters)

options:
  --fleet FILE             the fleet file (as for sync)
  --from CARDS.csv         UTF-8 CSV: card,job_number,name and an optional
                           groups column (names separated by ;)
  --remove-unlisted        also withdraw the cards the list does not give
  --json                   plan: one JSON object a terminal
  --db URL                 pull: the database (as for sync)
  --jobs N, --lock-wait SECONDS, --lock-dir DIR, --link-settings FILE
                           as for sync

examples:
  attctl roster plan --fleet site.ini --from cards.csv
  attctl roster apply --fleet site.ini --from cards.csv --remove-unlisted
  attctl roster pull --fleet site.ini

exit status: 0 every terminal done; 4 a terminal failed (the others are still
done); 2 a usage error, a bad fleet file or list (nothing sent).
)";

}  // namespace

void addFleetHelp(std::vector<CommandEntry> &table)
{
    for (CommandEntry &c : table) {
        if (c.name == QLatin1String("sync"))
            c.details = QString::fromUtf8(SyncDetails);
        else if (c.name == QLatin1String("export"))
            c.details = QString::fromUtf8(ExportDetails);
        else if (c.name == QLatin1String("status"))
            c.details = QString::fromUtf8(StatusDetails);
        else if (c.name == QLatin1String("serve"))
            c.details = QString::fromUtf8(ServeDetails);
        else if (c.name.startsWith(QLatin1String("roster ")))
            c.details = QString::fromUtf8(RosterDetails);
        else
            continue;
        c.fleet = true;
    }
}
