#!/usr/bin/env python3
"""Mutation run: one-line faults in the code that keeps a player's files, each built and put
to the tests that should catch it.

    scripts/mutate.py [--build DIR] [--only TEXT] [--timeout S] [--list]

Each fault is applied in the working tree, the tests of its area are rebuilt and run, and the
file is put back (also on Ctrl-C). A fault the tests do not catch "survived"; one that does
not compile is "not valid" and counts neither way. Exits 1 when fewer than 95 % are caught.
Too slow for CI: run it by hand after changing the install, history, path or picture code.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Only the program is mutated; the tests that judge it are never touched.
SEARCHED = ("src", "tools")

# The tests that should notice a fault in each area, quickest first: the first that fails ends
# the mutant's run. The ones that start the package tool need it rebuilt with the fault.
TESTS = {
    "transaction": ["test_LandscapeInstall", "test_InstallByType", "test_BrxInstall", "test_InstallHistory", "test_OwnFiles",
                    "test_InstallTransaction", "test_HistoryCli"],
    "history": ["test_InstallHistory", "test_OwnFiles", "test_InstallTransaction", "test_HistoryCli", "test_AddOns"],
    "paths": ["test_WinPath", "test_TypedPaths", "test_BrxInstall", "test_OwnFiles", "test_InstallTransaction"],
    "picture": ["test_PictureCheck", "test_OwnFiles"],
    "test hooks": ["test_HistoryCli"],
}

TOOLS = {"test_HistoryCli": "veldrin-brx-test", "test_OwnFiles": "veldrin-brx", "test_BrxCli": "veldrin-brx"}

# (area, unique snippet of the program, its replacement, what the fault does to a player).
# A snippet is found wherever it lives under src/ or tools/, however indented, so files may be
# split or moved; a pair of snippets (and of replacements) names a line before and after a rewrite.
# Left out as equivalent (no difference anyone can observe):
#  - rolling back in the order written rather than the reverse: each file has one slot, so each
#    is put back once whatever the order;
#  - keepFile's own "object exists" test: link() then fails with EEXIST, which is also success;
#  - dropping an fsync/fdatasync: only a power cut tells, and no test can cut the power;
#  - keeping the bytes before in memory past the 256 MB limit rather than spilling them: the
#    same bytes come back either way.
#  - remove() keeping nothing aside first: only add-on changes remove files, and they run only
#    with the history open, so the original is in its store (kept) before any removal;
#  - the destructor's roll back of an install neither committed nor rolled back: every route
#    commits or rolls back itself, and returns early only before its first write.
#  - the path cache not told of a file an install created: every route maps its targets before
#    its first write, or maps afterwards only into another folder (a copy, then its target).
#  - finish() not copying what an install wrote into the store: the copy is made as each file is
#    written, and finish() tries again for one whose write-time copy failed: either alone covers
#    the other, and only a store that fails at write time and recovers by the end tells them apart.
MUTANTS = [
    # --- the install transaction -------------------------------------------------------------
    ("transaction", "if (!s.t.existed || s.kept || s.memoryTaken)\n            return true;",
     "return true;", "keepAside returns at once: without history, replaced bytes are not kept"),
    ("transaction", "            else if (root.isEmpty())\n                kept << part;",
     "            else\n                kept << part;", "\"..\" climbs past the drive root"),
    ("transaction", "if (p.endsWith(QLatin1Char('\\\\')) && !clean.endsWith(QLatin1Char('\\\\')) && !kept.isEmpty())",
     "if (false)", "a folder path loses its trailing separator and passes for a file"),
    ("transaction", "slot.t.outside = !hostfs::inside(slot.t.real, d->gameReal) && !hostfs::inside(slot.t.real, d->programReal);",
     "slot.t.outside = !hostfs::inside(slot.t.real, d->gameReal) || !hostfs::inside(slot.t.real, d->programReal);",
     "a target must lie in both folders to count as inside"),
    ("transaction", "slot.t.outside = !hostfs::inside(real, d->gameReal) && !hostfs::inside(real, d->programReal);",
     "slot.t.outside = false;", "a recorded place outside both folders is taken as inside"),
    ("transaction", "|| (!historyReal.isEmpty() && (real == historyReal || hostfs::inside(real, historyReal)));",
     ";", "the history store reached through a link is not recognised"),
    ("transaction", "return QFileInfo(real).isSymLink() ? hostfs::realPlace(real) : real;",
     "return real;", "a target that is itself a link is judged where the link sits"),
    ("transaction", "&& journal->keepFile(s.t.real, s.previous, &s.linked, &why);",
     ";", "originals counted as kept without being put in the store"),
    ("transaction", "if (!s.kept) {\n                    undoAvailable = false;",
     "if (!s.kept) {", "an install whose originals were not kept is recorded as undoable"),
    ("transaction", "if (stored && !journal->syncObjects() && stopped.isEmpty()) {",
     "if (false) {", "kept originals that could not be flushed do not stop the install"),
    ("transaction", "if (!stopped.isEmpty() && !withoutUndo)\n            return;",
     "if (false)\n            return;", "an install goes on although its originals could not be kept"),
    ("transaction", "if (!journal || !history::isAddOnRoute(route) || route == QLatin1String(\"by hand\"))",
     "if (true)", "a hand edit under an install is not kept as a layer"),
    ("transaction", "if (s.t.history)\n        return fail(error, QStringLiteral(\"it is Veldrin's install history, which no install changes\"));\n    if (!begin(error))\n        return false;\n    if (!d->keepAside",
     "if (!begin(error))\n        return false;\n    if (!d->keepAside", "a write into the install history's store is allowed"),
    ("transaction", "|| (!tail.isEmpty() && !file->append(tail, error))",
     "", "the tail of a written file (a text's closing line break) is dropped"),
    ("transaction", "    s.removed = false;\n    d->changed(index);\n    d->paths.created(s.t.host);",
     "    s.removed = false;\n    d->paths.created(s.t.host);", "a single write is not remembered for the roll back"),
    ("transaction", "            s.removed = false;\n            changed(p.index);",
     "            s.removed = false;", "a batched write is not remembered for the roll back"),
    ("transaction", "if (!p.file->commit(&why)) {", "if (!p.file->commit(&why) && false) {",
     "a batched copy that could not be renamed into place counts as written"),
    ("transaction", "            order.append(i);", "", "no file is ever put back: the roll back list stays empty"),
    ("transaction", "        if (!hostfs::syncFolder(folder))\n            return putBack(",
     "        if (false)\n            return putBack(", "a folder that could not be flushed does not fail the install"),
    ("transaction", "d->undoAvailable ? QStringLiteral(\"done\") : QStringLiteral(\"no undo\")",
     "QStringLiteral(\"done\")", "an install without undo is recorded as undoable"),
    ("transaction", "ok = !isRegularFile(s.t.real) || file.remove();",
     "ok = true;", "a roll back leaves the files the install created"),
    ("transaction", "ok = old && hostfs::writeFile(s.t.real, *old, QByteArray(), &why);",
     "ok = old.has_value();", "a roll back does not write the old bytes back"),
    ("transaction", "if (earlier && !earlier->isEmpty() && *earlier != QByteArrayLiteral(\"\\r\\n\")) {",
     "if (false) {", "an older backup copy that holds something is overwritten by an empty one"),

    # --- the history: journal, recovery, undo ---------------------------------------------------
    ("history", "if (sha256(bytes) != hash)\n        return fail(error, QStringLiteral(\"it changed\"));",
     "", "a file that changed since it was hashed is stored under the old hash"),
    ("history", "        *linked = true;", "", "an original kept by a link is never separated from the game file"),
    ("history", "if (sha256(bytes) != hash) {\n        fail(error, QStringLiteral(\"its kept copy does not match its record\"));",
     "if (false) {\n        fail(error, QStringLiteral(\"its kept copy does not match its record\"));",
     "kept bytes that no longer match are written back"),
    ("history", "q.addBindValue(row.existed ? 1 : 0);", "q.addBindValue(1);",
     "every file is recorded as having existed before"),
    ("history", "if (!why.startsWith(QLatin1String(\"damaged:\"))) {", "if (why.startsWith(QLatin1String(\"damaged:\"))) {",
     "a busy journal is set aside, a damaged one blocks"),
    ("history", "if (judge.target(slot).outside || judge.target(slot).history) {", "if (judge.target(slot).outside) {",
     "recovery writes into the history's store when a record names it"),
    ("history", "if (judge.target(slot).outside || judge.target(slot).history) {", "if (judge.target(slot).history) {",
     "recovery writes outside the player's folders when a record names such a place"),
    ("history", "            if (now == before(row)) {", "            if (now == before(row) || true) {",
     "recovery after a kill puts nothing back"),
    ("history", "ok = QFile::remove(row.host);\n                why = QStringLiteral(\"it could not be removed\");",
     "ok = true;", "recovery leaves a file the killed install created"),
    ("history", "QFile::remove(folder.filePath(temp));", "(void)temp;", "recovery leaves a killed install's half-written copy"),
    ("history", "if (!lock.held() || !Journal::exists(programFolder))", "if (!Journal::exists(programFolder))",
     "a running install is taken for a killed one and put back under it"),
    ("history", "if (undone.contains(op.id))\n        return State::Undone;", "if (undone.contains(op.id) && false)\n        return State::Undone;",
     "an install taken out is shown as done"),
    ("history", "present(row.host) != leftBy(row);", "present(row.host) == leftBy(row);",
     "a file changed since an install is not noticed, one untouched is"),
    ("history", "    if (row.touched)\n        return row.written.isEmpty()", "    if (!row.touched)\n        return row.written.isEmpty()",
     "what an install left in a file is read from the wrong column"),

    # --- the path mapping ---------------------------------------------------------------------
    ("paths", "if (entry.compare(name, Qt::CaseInsensitive) == 0)\n                return base", "if (entry.compare(name, Qt::CaseSensitive) == 0)\n                return base",
     "names are no longer matched regardless of case"),
    ("paths", "if (inside && (bestLetter.isEmpty() || root.size() > bestRoot.size())) {",
     "if (inside && (bestLetter.isEmpty() || root.size() < bestRoot.size())) {", "a place is named by the widest drive, not the closest"),
    ("paths", "const bool inside = root == QLatin1String(\"/\") || real == root || real.startsWith(root + QLatin1Char('/'));",
     "const bool inside = root == QLatin1String(\"/\") || real.startsWith(root);",
     "a sibling folder sharing a drive's name is taken as on that drive"),
    ("paths", "QString host = p.mid(int(sizeof kUnixPrefix) - 2);", "QString host = p.mid(int(sizeof kUnixPrefix) - 1);",
     "a \\\\?\\unix\\ path loses its first character"),
    ("paths", "if (folder.names.contains(name))\n        return joined;", "",
     "an exact name is not preferred over another spelling of it"),
    ("paths", "if (realFolder.isEmpty())\n        return false;\n    QString folder = realFolder;\n    if (!folder.endsWith(QLatin1Char('/')))\n        folder += QLatin1Char('/');",
     "if (realFolder.isEmpty())\n        return false;\n    QString folder = realFolder;",
     "a sibling folder sharing the game folder's name counts as inside it"),
    ("paths", ("if (real.isEmpty() && info.isSymLink() && depth < 40)", "if (!S_ISLNK(st.st_mode)) {"), ("if (false)", "if (true) {"),
     "a link to a place that does not exist yet is judged where the link sits"),
    ("paths", "if (!why && ::rename(m_temp.constData(), m_target.constData()) != 0)", "if (false)",
     "an atomic write never renames its copy into place"),
    ("paths", "if (existed && S_ISDIR(old.st_mode))\n        return fail(error, QStringLiteral(\"it is a folder\"));", "",
     "a folder in the way is not told as one"),
    ("paths", "if (existed && ::fchmod(m_fd, old.st_mode & 07777) != 0) {", "if (false) {",
     "a replaced file loses its permissions"),
    ("paths", "int why = m_flushed ? m_flushError : 0;", "int why = 0;",
     "a batched copy whose flush failed is renamed into place anyway"),

    # --- the whole-picture check ---------------------------------------------------------------
    ("picture", "if (size < kFileHeaderSize + 4)", "if (size < kFileHeaderSize)", "a header cut before its size field is read past"),
    ("picture", "if (infoSize != kCoreHeaderSize && infoSize < kInfoHeaderSize)",
     "if (infoSize < kInfoHeaderSize)", "the oldest header form is refused"),
    ("picture", "if (colours > (qint64(1) << bits))", "if (false)", "a palette larger than the pixels can name passes"),
    ("picture", "const qint64 rowBytes = (width * bits + 31) / 32 * 4;", "const qint64 rowBytes = (width * bits + 7) / 8;",
     "rows are not padded to four bytes: short pictures pass"),
    ("picture", "const qint64 padded = literal + (literal & 1);", "const qint64 padded = literal;",
     "a literal run's padding byte may be missing"),
    ("picture", "masks = 12;", "masks = 0;", "colour masks after the header are not counted"),
    ("picture", "if (codedSize > size - pixels)", "if (false)", "coded pixels promised beyond the file's end pass"),
    ("picture", "if (x > width)\n                return fail(", "if (false)\n                return fail(",
     "a jump past the picture's edge passes"),

    # --- the hook the kill tests stop an install by: a pause that does not hold would let them
    # kill at some other moment than the one they name, and pass without testing it.
    ("test hooks", "    while (!g_resumed)\n        sigsuspend(&before);", "",
     "the test build's pause does not hold"),
]


def pattern(snippet):
    """The snippet with any run of white space matching any other: code moved into a function of
    its own, or out of one, keeps its faults."""
    return re.compile(r"\s+".join(re.escape(word) for word in snippet.split()))


def find(snippets):
    """The one file holding one of the snippets exactly once: (path, which snippet); an error
    otherwise. A fault may name the same line as it reads before and after a rewrite."""
    hits = []
    for which, snippet in enumerate(snippets):
        for top in SEARCHED:
            for folder, _, names in os.walk(os.path.join(ROOT, top)):
                for name in names:
                    if not name.endswith((".cpp", ".h")):
                        continue
                    path = os.path.join(folder, name)
                    with open(path, encoding="utf-8") as f:
                        count = len(pattern(snippet).findall(f.read()))
                    if count:
                        hits.append((path, count, which))
        if hits:
            break
    if len(hits) != 1 or hits[0][1] != 1:
        where = ", ".join("%s (%d times)" % (os.path.relpath(p, ROOT), c) for p, c, _ in hits) or "nowhere"
        raise SystemExit("mutate.py: the snippet must be in exactly one place, found %s:\n%s" % (where, snippets[0]))
    return hits[0][0], hits[0][2]


def alternatives(text):
    return text if isinstance(text, tuple) else (text,)


def run(cmd, timeout, log):
    with open(log, "w") as out:
        try:
            return subprocess.run(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT, timeout=timeout,
                                  start_new_session=True).returncode
        except subprocess.TimeoutExpired:
            return None


def targets_for(tests):
    return sorted(set(tests) | {TOOLS[t] for t in tests if t in TOOLS})


def build_and_test(build, tests, timeout, log):
    """(built, passed): not built when it does not compile; passed when every test passed."""
    code = run(["ninja", "-C", build, "-j", str(os.cpu_count() or 2)] + targets_for(tests), 1800, log + ".build")
    if code != 0:
        return False, None
    for test in tests:
        code = run(["ctest", "--test-dir", build, "-R", "^%s$" % test, "--timeout", str(timeout), "--output-on-failure"],
                   timeout + 60, "%s.%s" % (log, test))
        if code != 0:
            return True, False
    return True, True


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutate"))
    parser.add_argument("--only", help="run the faults whose description contains one of these texts (a|b), or of this area")
    parser.add_argument("--timeout", type=int, default=300, help="seconds per test")
    parser.add_argument("--list", action="store_true", help="check and list the faults, run nothing")
    parser.add_argument("--no-baseline", action="store_true", help="skip checking that the unchanged program passes")
    args = parser.parse_args()

    chosen = [m for m in MUTANTS if not args.only or any(o in m[3] or o == m[0] for o in args.only.split("|"))]
    located = []
    for area, old, new, what in chosen:
        path, which = find(alternatives(old))
        located.append((area, path, alternatives(old)[which], alternatives(new)[which], what))
    if args.list:
        for i, (area, path, _, _, what) in enumerate(located, 1):
            print("%3d %-12s %-38s %s" % (i, area, os.path.relpath(path, ROOT), what))
        return 0

    env = os.environ
    env.setdefault("CCACHE_BASEDIR", os.path.dirname(ROOT))
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    if not os.path.exists(os.path.join(args.build, "build.ninja")):
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
        subprocess.run(["cmake", "-S", ROOT, "-B", args.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                        "-DVELDRIN_WERROR=ON", "-DVELDRIN_BENCH=OFF"] + launcher, check=True, stdout=subprocess.DEVNULL)
    logs = os.path.join(args.build, "mutate-logs")
    os.makedirs(logs, exist_ok=True)

    # The unchanged program must pass, or every fault would look caught.
    areas = sorted({m[0] for m in located})
    every = sorted({t for a in areas for t in TESTS[a]})
    built, passed = (True, True) if args.no_baseline else build_and_test(args.build, every, args.timeout,
                                                                         os.path.join(logs, "baseline.log"))
    if not built or not passed:
        raise SystemExit("mutate.py: the unchanged program does not %s; see %s" %
                         ("build" if not built else "pass its tests", logs))

    # SIGTERM restores the file like Ctrl-C does.
    def stop(*_):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)
    results = []
    for i, (area, path, old, new, what) in enumerate(located, 1):
        with open(path, encoding="utf-8") as f:
            original = f.read()
        started = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(pattern(old).sub(lambda _: new.lstrip(), original, count=1))
            built, passed = build_and_test(args.build, TESTS[area], args.timeout, os.path.join(logs, "%02d.log" % i))
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        status = "not valid" if not built else "survived" if passed else "killed"
        results.append((i, status, area, os.path.relpath(path, ROOT), what))
        print("%3d %-9s %4ds  %-11s %s" % (i, status, time.time() - started, area, what), flush=True)

    print("\n%3s %-9s %-11s %-38s %s" % ("#", "result", "area", "file", "fault"))
    for i, status, area, rel, what in results:
        print("%3d %-9s %-11s %-38s %s" % (i, status, area, rel, what))
    killed = sum(1 for r in results if r[1] == "killed")
    judged = sum(1 for r in results if r[1] != "not valid")
    rate = 100.0 * killed / judged if judged else 0.0
    print("\n%d of %d faults caught (%.1f %%), %d not valid" % (killed, judged, rate, len(results) - judged))
    return 0 if rate >= 95.0 else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)
