#!/usr/bin/env bash
# Our own mutation check: how many small faults put into the library and the tool the native
# tests notice. Each mutant of scripts/mutants.txt (the format is described at its top) changes
# one fragment of one file; it is applied to a copy of the tree (build/mutation/src, synced from
# the worktree's files at every run, never the worktree itself), the copy is rebuilt
# incrementally and the native tests run on it (the AddressSanitizer build for mutants of kind
# asan; the 64-bit Windows build under Wine for mutants of kind wine, the program's: the slow
# part, a minute or so each). A mutant is
#   killed             a test failed (killed-timeout: a test ran past its time limit)
#   survived           every test passed: a fault no test notices
#   stillborn          the build broke: the mutant says nothing about the tests; fix its entry
#   equivalent         not run: the list says why the change cannot be noticed
#   bash scripts/mutation.sh [--list] [--timeout SECONDS] [--tests-from REV] [ID PATTERN...]
# e.g. scripts/mutation.sh 'reader-*' 'tool-exit-*'. --list only checks the list (every fragment
# found exactly once in its file) and prints it. --tests-from REV judges the same mutants with
# the tests of an earlier commit (its tests/ folder in the copy), for a before-and-after. Each test may take --timeout seconds (default
# 60), or three times the slowest test of the unmutated tree when that is more.
# Per-mutant logs land in build/mutation/logs. On demand, not part of scripts/test.sh; exits 0
# when every mutant run was killed or stillborn, 1 when some survived, 2 on a bad list or a
# failing unmutated build.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
root="$PWD"
list=scripts/mutants.txt  # relative, as messages name it
work="$root/build/mutation"
jobs=2
timeout=60
list_only=0
tests_from=""
patterns=()

usage() {
  echo "usage: scripts/mutation.sh [--list] [--timeout SECONDS] [--tests-from REV] [ID PATTERN...]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
    --list) list_only=1 ;;
    --timeout)
      [ $# -ge 2 ] || usage
      timeout="$2"
      shift
      ;;
    --tests-from)
      [ $# -ge 2 ] || usage
      tests_from="$2"
      shift
      ;;
    -*) usage ;;
    *) patterns+=("$1") ;;
  esac
  shift
done
case "$timeout" in '' | *[!0-9]* | 0) usage ;; esac

# The list's reader, the tree copy and the patching, in Python:
#   check [PATTERN...]          checks the whole list; prints "id TAB kind TAB file" per chosen one
#   show [PATTERN...]           the chosen mutants, readable
#   field ID KEY                one field of a mutant
#   sync SRC DEST               DEST's files made those of SRC's tree (git's tracked and
#                               untracked-not-ignored files); a rewritten file gets a new mtime
#   apply ID SRC DEST           DEST's copy of the mutant's file: SRC's with the mutant applied
#   restore FILE SRC DEST       DEST's copy of FILE made SRC's again
mutants() {
  python3 - "$list" "$@" <<'PY'
import fnmatch, os, re, subprocess, sys

KEYS = ("id", "file", "find", "replace", "feel", "kind", "equivalent")
REQUIRED = ("id", "file", "find", "replace", "feel")


def parse(path, root):
    records, errors, current = [], [], None
    with open(path, encoding="utf-8") as text:
        for number, line in enumerate(text, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                current = None
                continue
            key, colon, value = line.partition(":")
            value = value[1:] if value.startswith(" ") else value
            if colon and key in ("find+", "replace+") and current and key[:-1] in current:
                current[key[:-1]] += "\n" + value  # the fragment's next line
                continue
            if not colon or key not in KEYS:
                errors.append(f"{path}:{number}: not 'key: value' with a known key: {line}")
                continue
            if current is None:
                current = {"line": number}
                records.append(current)
            if key in current:
                errors.append(f"{path}:{number}: {key} given twice")
            current[key] = value
    seen = set()
    for record in records:
        where = f"{path}:{record['line']}"
        missing = [key for key in REQUIRED if key not in record]
        if missing:
            errors.append(f"{where}: missing {', '.join(missing)}")
            continue
        name = record["id"]
        if not re.fullmatch(r"[a-z0-9]+(-[a-z0-9]+)*", name):
            errors.append(f"{where}: id '{name}' is not lower-case words joined by '-'")
        if name in seen:
            errors.append(f"{where}: id '{name}' is used twice")
        seen.add(name)
        if record.get("kind", "asan") not in ("asan", "wine"):
            errors.append(f"{where}: {name}: the kinds are asan and wine")
        if not record["find"] or record["find"] == record["replace"]:
            errors.append(f"{where}: {name}: find is empty or the same as replace")
        if not record["feel"].strip() or ("equivalent" in record and not record["equivalent"].strip()):
            errors.append(f"{where}: {name}: feel and equivalent need words")
        try:
            with open(os.path.join(root, record["file"]), encoding="utf-8") as source:
                count = source.read().count(record["find"])
        except OSError as error:
            errors.append(f"{where}: {name}: {error.strerror}: {record['file']}")
            continue
        if count != 1:
            errors.append(f"{where}: {name}: the fragment occurs {count} times in {record['file']}, "
                          "not once")
    return records, errors


def kind(record):
    return "equivalent" if "equivalent" in record else record.get("kind", "plain")


def chosen(records, patterns):
    return [r for r in records if not patterns or any(fnmatch.fnmatchcase(r["id"], p) for p in patterns)]


def write_if_changed(path, data):
    try:
        with open(path, "rb") as old:
            if old.read() == data:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as new:
        new.write(data)  # a fresh mtime, so the build sees the change even when it goes back


def read(path):
    with open(path, "rb") as source:
        return source.read()


def by_id(records, name):
    for record in records:
        if record["id"] == name:
            return record
    sys.exit(f"no mutant '{name}'")


def main(list_path, command, *args):
    if command == "sync":
        source, target = args
        files = subprocess.run(
            ["git", "-C", source, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
            check=True, capture_output=True).stdout.decode().split("\0")
        files = {f for f in files if f and os.path.isfile(os.path.join(source, f))}
        for name in sorted(files):
            write_if_changed(os.path.join(target, name), read(os.path.join(source, name)))
        for folder, _, names in os.walk(target):
            for name in names:
                path = os.path.join(folder, name)
                if os.path.relpath(path, target) not in files:
                    os.remove(path)  # sources are picked up by folder: no stale file may stay
        return 0
    if command == "restore":
        name, source, target = args
        write_if_changed(os.path.join(target, name), read(os.path.join(source, name)))
        return 0
    records, errors = parse(list_path, os.getcwd())
    if command in ("check", "show"):
        for error in errors:
            print(error, file=sys.stderr)
        if errors:
            print(f"{len(errors)} problems in the mutant list", file=sys.stderr)
            return 2
        picked = chosen(records, list(args))
        if not picked:
            print("no mutant matches " + " ".join(args), file=sys.stderr)
            return 2
        for r in picked:
            if command == "check":
                print(f"{r['id']}\t{kind(r)}\t{r['file']}")
            else:
                find, replace = (r[key].replace("\n", "\n      ") for key in ("find", "replace"))
                print(f"{r['id']}  [{kind(r)}]  {r['file']}\n    - {find}\n    + {replace}\n"
                      f"    feel: {r['feel']}" + (f"\n    equivalent: {r['equivalent']}"
                                                 if "equivalent" in r else ""))
        if command == "show":
            counts = {}
            for r in picked:
                counts[kind(r)] = counts.get(kind(r), 0) + 1
            print(f"{len(picked)} mutants: " + ", ".join(f"{n} {k}" for k, n in sorted(counts.items())))
        return 0
    record = by_id(records, args[0])
    if command == "field":
        print(record.get(args[1], ""))
        return 0
    if command == "apply":
        _, source, target = args
        text = read(os.path.join(source, record["file"])).decode("utf-8")
        write_if_changed(os.path.join(target, record["file"]),
                         text.replace(record["find"], record["replace"], 1).encode("utf-8"))
        return 0
    sys.exit(f"unknown command {command}")


sys.exit(main(*sys.argv[1:]))
PY
}

if [ "$list_only" = 1 ]; then
  mutants show "${patterns[@]}"
  exit $?
fi
selection="$(mutants check "${patterns[@]}")" || exit 2

src="$work/src"
logs="$work/logs"
mkdir -p "$src" "$logs"
mutants sync "$root" "$src" || exit 2
if [ -n "$tests_from" ]; then
  rm -rf "$src/tests"
  git -C "$root" archive "$tests_from" tests | tar -x -C "$src" ||
    { echo "no tests/ at '$tests_from'" >&2; exit 2; }
fi

# The builds of the copy: the native one, the AddressSanitizer one of scripts/test.sh and the
# 64-bit Windows one when a chosen mutant needs them. Each test is given the time limit, so a
# hang ends as a timeout.
# shellcheck source=scripts/asan-flags.sh
source "$root/scripts/asan-flags.sh"
builds=(native)
grep -q $'\tasan\t' <<<"$selection" && builds+=(asan)
grep -q $'\twine\t' <<<"$selection" && builds+=(win64)
configure() {  # configure NAME SECONDS: SECONDS is each test's time limit
  local extra=(-DVAULTPICK_TARGET=native -DVAULTPICK_BUILD_BENCH=OFF)
  [ "$1" = asan ] && extra+=("${asan_cmake_args[@]}")
  [ "$1" = win64 ] && extra=(-DVAULTPICK_TARGET=win64)
  cmake -S "$src" -B "$work/$1" -G Ninja "-DVAULTPICK_TEST_TIMEOUT=$2" "${extra[@]}" \
    >"$logs/configure-$1.log" 2>&1
}
build() {  # build NAME LOG
  cmake --build "$work/$1" -j "$jobs" </dev/null >"$2" 2>&1
}
run_tests() {  # run_tests NAME LOG
  ctest --test-dir "$work/$1" -j "$jobs" --no-tests=error --output-on-failure --stop-on-failure \
    </dev/null >"$2" 2>&1
}

# The program's tests run under Wine, on a display and prefix of the run's own.
if [[ " ${builds[*]} " == *" win64 "* ]]; then
  # shellcheck source=scripts/windows-env.sh
  source "$root/scripts/windows-env.sh"
  windows_env_dir="$work/wine-env"
  windows_env_logs="$logs"
  trap stop_windows_env EXIT
  trap 'exit 130' INT TERM
  start_windows_env >"$logs/wine-env.log" 2>&1 ||
    { echo "Xvfb and Wine did not start: see $logs/wine-env.log" >&2; exit 2; }
fi

# The unmutated copy first: every test must pass there, or no mutant can be judged. Its times
# set each test's limit: the given one, or three times the slowest test when that is more, so
# a slow test on a busy machine is not taken for a mutant's hang.
for name in "${builds[@]}"; do
  start=$SECONDS
  if ! configure "$name" 300 || ! build "$name" "$logs/baseline-build-$name.log" ||
    ! run_tests "$name" "$logs/baseline-test-$name.log"; then
    echo "the unmutated tree fails in build/mutation/$name: see $logs/baseline-*-$name.log" >&2
    exit 2
  fi
  slowest=$(grep -o 'Passed *[0-9.]* sec' "$logs/baseline-test-$name.log" |
    awk '$2 > m { m = $2 } END { print int(m + 1) }')
  limit=$((3 * slowest > timeout ? 3 * slowest : timeout))
  configure "$name" "$limit" || exit 2
  echo "unmutated $name build and tests pass ($((SECONDS - start)) s; slowest test $slowest s," \
    "so each test may take $limit s)"
done

# "Name (Failed)" lines of CTest's summary, the first three, joined.
failed_tests() {
  sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\).* (\([A-Za-z ]*\))$/\1 (\2)/p' "$1" | head -n 3 |
    paste -sd ' ' -
}

run_start=$SECONDS
killed=0 timeouts=0 survived=0 stillborn=0 equivalent=0
survivors=() stillborns=()
applied=""  # the copy's file that holds the current mutant
while IFS=$'\t' read -r id kind file; do
  if [ "$kind" = equivalent ]; then
    equivalent=$((equivalent + 1))
    printf '%-14s %-36s %s\n' equivalent "$id" "$(mutants field "$id" equivalent)"
    continue
  fi
  start=$SECONDS
  [ -n "$applied" ] && [ "$applied" != "$file" ] && mutants restore "$applied" "$root" "$src"
  mutants apply "$id" "$root" "$src"
  applied="$file"
  build_name=native
  [ "$kind" = asan ] && build_name=asan
  [ "$kind" = wine ] && build_name=win64
  log="$logs/$id.log"
  if ! build "$build_name" "$log"; then
    stillborn=$((stillborn + 1))
    outcome=stillborn
    detail="$(grep -m1 'error:' "$log" | cut -c1-120)"
    stillborns+=("$id")
  elif run_tests "$build_name" "$log.tests"; then
    survived=$((survived + 1))
    outcome=survived
    detail="$(mutants field "$id" feel)"
    survivors+=("$id: $detail")
  else
    killed=$((killed + 1))
    outcome=killed
    if grep -q '\*\*\*Timeout' "$log.tests"; then
      timeouts=$((timeouts + 1))
      outcome="killed-timeout"
    fi
    detail="$(failed_tests "$log.tests")"
  fi
  printf '%-14s %-36s %4d s  %s\n' "$outcome" "$id" $((SECONDS - start)) "$detail"
done <<<"$selection"
[ -n "$applied" ] && mutants restore "$applied" "$root" "$src"

run=$((killed + survived))
built=$((run + stillborn))
echo
echo "killed $killed (by a timeout: $timeouts), survived $survived, stillborn $stillborn," \
  "equivalent $equivalent; $((SECONDS - run_start)) s, $(((SECONDS - run_start) / (built ? built : 1)))" \
  "s per mutant"
if [ "$run" -gt 0 ]; then
  awk -v k="$killed" -v r="$run" \
    'BEGIN { printf "kill rate of non-equivalent mutants: %.1f %% (%d of %d built)\n", 100 * k / r, k, r }'
fi
[ "${#stillborns[@]}" -gt 0 ] && echo "stillborn, their entries to fix: ${stillborns[*]}"
if [ "${#survivors[@]}" -gt 0 ]; then
  echo "survivors, and what a user would feel:"
  printf '  %s\n' "${survivors[@]}"
  exit 1
fi
exit 0
