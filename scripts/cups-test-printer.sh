# Sourced by test.sh: starts a throw-away CUPS scheduler whose configuration,
# state, spool and socket live in a temporary folder, adds a PDF printer
# (cups-pdf) as its default queue, and exports for the tests:
#   CUPS_SERVER        the scheduler's socket, for every CUPS client
#   VOX_TEST_CUPS_OUT  the folder the PDF printer writes its files to
# PRINTER and LPDEST are unset so that the default queue is the one used.
#
# The PDF backend must run as root, so the scheduler needs root (or sudo
# without a password); otherwise nothing is started and the printing tests
# say so. The backend reads its settings from /etc/cups only: the scheduler
# runs in a mount namespace of its own where the run's cups-pdf.conf is bound
# over the system one; where no namespace can be made, a settings file for
# this run's queue alone (/etc/cups/cups-pdf-<queue>.conf) is written and
# removed again on exit; the backend finds it by the queue's device URI.

cups_test_printer_start() {
  CUPS_TEST_SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if sudo -n true 2>/dev/null; then
      CUPS_TEST_SUDO="sudo -n"
    else
      echo "CUPS test printer not started: the PDF printer needs root (or sudo)" >&2
      return 0
    fi
  fi
  local backend=/usr/lib/cups/backend/cups-pdf
  local ppd
  ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -1 || true)
  if ! command -v cupsd >/dev/null 2>&1 && [ ! -x /usr/sbin/cupsd ] || [ ! -e "$backend" ] || [ -z "$ppd" ]; then
    echo "CUPS test printer not started: cupsd or cups-pdf is not installed" >&2
    return 0
  fi

  CUPS_TEST_DIR=$(mktemp -d /tmp/voxcups.XXXXXX)
  chmod 755 "$CUPS_TEST_DIR"
  local d=$CUPS_TEST_DIR
  mkdir -p "$d/etc/ppd" "$d/spool/tmp" "$d/cache" "$d/state" "$d/log" "$d/out" "$d/pdfspool"
  # The filters run as lp: they read the spool and write temporary files.
  chmod 1777 "$d/out" "$d/spool/tmp" "$d/pdfspool"
  CUPS_TEST_QUEUE="voxtest$$"

  cat >"$d/etc/cups-files.conf" <<EOF
ServerRoot $d/etc
RequestRoot $d/spool
TempDir $d/spool/tmp
CacheDir $d/cache
StateDir $d/state
ErrorLog $d/log/error_log
AccessLog $d/log/access_log
PageLog $d/log/page_log
User lp
Group lp
SystemGroup root
FileDevice No
EOF
  cat >"$d/etc/cupsd.conf" <<EOF
Listen $d/cups.sock
LogLevel warn
Browsing No
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cat >"$d/cups-pdf.conf" <<EOF
Out $d/out
AnonDirName $d/out
Spool $d/pdfspool
Log $d/log
LogType 3
UserUMask 0022
Grp root
TitlePref 1
Label 1
EOF
  chmod 644 "$d/cups-pdf.conf"

  local cupsd
  cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
  CUPS_TEST_QUEUE_CONF=""
  local uri="cups-pdf:/"
  if $CUPS_TEST_SUDO unshare -m --propagation private true 2>/dev/null; then
    $CUPS_TEST_SUDO unshare -m --propagation private sh -c \
      "mount --bind '$d/cups-pdf.conf' /etc/cups/cups-pdf.conf && exec '$cupsd' -f -c '$d/etc/cupsd.conf' -s '$d/etc/cups-files.conf'" \
      >"$d/log/cupsd.out" 2>&1 &
  else
    CUPS_TEST_QUEUE_CONF=/etc/cups/cups-pdf-$CUPS_TEST_QUEUE.conf
    uri="cups-pdf:/$CUPS_TEST_QUEUE"
    $CUPS_TEST_SUDO cp "$d/cups-pdf.conf" "$CUPS_TEST_QUEUE_CONF"
    $CUPS_TEST_SUDO "$cupsd" -f -c "$d/etc/cupsd.conf" -s "$d/etc/cups-files.conf" \
      >"$d/log/cupsd.out" 2>&1 &
  fi
  CUPS_TEST_PID=$!

  local i
  for i in $(seq 1 100); do
    [ -S "$d/cups.sock" ] && break
    if ! kill -0 "$CUPS_TEST_PID" 2>/dev/null && [ -z "$CUPS_TEST_SUDO" ]; then break; fi
    sleep 0.1
  done
  if [ ! -S "$d/cups.sock" ]; then
    echo "CUPS test printer not started: cupsd did not come up" >&2
    cat "$d/log/cupsd.out" "$d/log/error_log" 2>/dev/null >&2 || true
    cups_test_printer_stop
    return 0
  fi

  export CUPS_SERVER="$d/cups.sock"
  unset PRINTER LPDEST
  # pdftocairo keeps Qt's fonts as text that pdftotext can read back.
  if ! lpadmin -p "$CUPS_TEST_QUEUE" -E -v "$uri" -P "$ppd" \
         -o pdftops-renderer-default=pdftocairo >"$d/log/lpadmin.out" 2>&1 \
       || ! lpadmin -d "$CUPS_TEST_QUEUE" >>"$d/log/lpadmin.out" 2>&1; then
    echo "CUPS test printer not started: the PDF queue could not be added" >&2
    cat "$d/log/lpadmin.out" >&2
    cups_test_printer_stop
    unset CUPS_SERVER
    return 0
  fi
  export VOX_TEST_CUPS_OUT="$d/out"
  echo "CUPS test printer $CUPS_TEST_QUEUE at $CUPS_SERVER, PDF files in $VOX_TEST_CUPS_OUT"
}

cups_test_printer_stop() {
  if [ -n "${CUPS_TEST_PID:-}" ]; then
    $CUPS_TEST_SUDO kill "$CUPS_TEST_PID" 2>/dev/null || true
    wait "$CUPS_TEST_PID" 2>/dev/null || true
    CUPS_TEST_PID=""
  fi
  if [ -n "${CUPS_TEST_QUEUE_CONF:-}" ]; then
    $CUPS_TEST_SUDO rm -f "$CUPS_TEST_QUEUE_CONF"
    CUPS_TEST_QUEUE_CONF=""
  fi
  if [ -n "${CUPS_TEST_DIR:-}" ] && [ -d "$CUPS_TEST_DIR" ]; then
    $CUPS_TEST_SUDO rm -rf "$CUPS_TEST_DIR"
    CUPS_TEST_DIR=""
  fi
}
