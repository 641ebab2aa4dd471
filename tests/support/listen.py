#!/usr/bin/env python3
"""Records what a sound server plays and tells which of the game's sounds were heard.

Usage:
  listen.py record OUT.wav [--seconds N]
      Records the monitor of the server's default sink (the server in $PULSE_SERVER, or
      the desktop's) for N seconds (default 5), 22050 Hz mono 16-bit, with parec.
  listen.py find RECORDING.wav SOUND.wav [SOUND.wav ...]
      Prints the sounds heard in the recording, in order, one line each:
        NAME START_MS REACHED_MS LENGTH_MS HEARD_MS GAP_MS
      NAME is the wave file's name without ".wav"; START_MS where it starts in the
      recording; REACHED_MS how far into the file playback got (LENGTH_MS when it played
      to its end, less when it was cut off); HEARD_MS how much of that was heard sample
      for sample; GAP_MS silence that interrupted it (a player falling behind). Sounds
      are recognised by following the recording 5 ms at a time against each file.
      A stretch of sound that is none of the files prints as "? START_MS LENGTH_MS".
  listen.py watch REPORT SOUND.wav [SOUND.wav ...] --ready FILE --stop FILE [--seconds N]
                [--sounding FILE]
      Records until FILE given with --stop exists (at most N seconds, default 30), then
      writes what "find" prints to REPORT. FILE given with --ready is made once the
      recording runs; FILE given with --sounding holds, while it runs, the milliseconds
      recorded since the first sound was heard (written again as the recording grows). The test programs under Wine drive it this way: they start it as
      a Unix program, wait for the ready file, play, make the stop file and read REPORT.

Standard library only; parec (pulseaudio-utils) does the recording.
"""
import array
import os
import select
import shutil
import signal
import subprocess
import sys
import time
import wave

RATE = 22050
BLOCK = RATE // 200  # 5 ms: the unit in which a recording is compared with a file
LOUD = 330  # about 1 % of full scale: quieter samples count as silence
TAIL_SECONDS = 0.4  # recorded after the stop request: sound still on its way arrives


# ---- Wave files ----


def read_wave(path):
    """The samples of a 16-bit PCM wave file as mono at RATE (channels averaged)."""
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise ValueError("%s: only 16-bit PCM is read" % path)
        channels = w.getnchannels()
        rate = w.getframerate()
        samples = array.array("h", w.readframes(w.getnframes()))
    if sys.byteorder == "big":
        samples.byteswap()
    if channels > 1:
        samples = array.array(
            "h",
            (sum(samples[i : i + channels]) // channels for i in range(0, len(samples), channels)),
        )
    if rate != RATE:  # linear interpolation is enough to recognise a sound
        step = rate / RATE
        count = int(len(samples) / step)
        resampled = array.array("h")
        for i in range(count):
            x = i * step
            j = int(x)
            k = min(j + 1, len(samples) - 1)
            resampled.append(int(samples[j] + (samples[k] - samples[j]) * (x - j)))
        samples = resampled
    return samples


def write_wave(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        data = array.array("h", samples)
        if sys.byteorder == "big":
            data.byteswap()
        w.writeframes(data.tobytes())


# ---- Recording ----


def parec_command():
    return [
        shutil.which("parec") or "/usr/bin/parec",  # a Wine parent may pass no PATH
        "--device=@DEFAULT_MONITOR@",
        "--format=s16le",
        "--rate=%d" % RATE,
        "--channels=1",
        "--latency-msec=20",
        "--raw",
    ]


def record(seconds, stop_file=None, ready_file=None, sounding_file=None):
    """Records until the stop file exists (then a short tail) or the seconds run out."""
    recorder = subprocess.Popen(parec_command(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    data = bytearray()
    deadline = time.monotonic() + seconds
    stop_at = None
    sound_at = -1  # the first loud sample's byte in data
    try:
        while True:
            now = time.monotonic()
            if stop_at is None and stop_file and os.path.exists(stop_file):
                stop_at = now + TAIL_SECONDS
            if now >= deadline or (stop_at is not None and now >= stop_at):
                break
            ready, _, _ = select.select([recorder.stdout], [], [], 0.01)
            if not ready:
                if recorder.poll() is not None:
                    break
                continue
            chunk = os.read(recorder.stdout.fileno(), 65536)
            if not chunk:
                break
            if not data and ready_file:
                open(ready_file, "w").close()
            data += chunk
            if sounding_file:
                sound_at = sound_at if sound_at >= 0 else first_loud_byte(data, len(data) - len(chunk))
                if sound_at >= 0:
                    with open(sounding_file + ".part", "w") as f:
                        f.write("%d\n" % ((len(data) - sound_at) // 2 * 1000 // RATE))
                    os.replace(sounding_file + ".part", sounding_file)
    finally:
        if recorder.poll() is None:
            recorder.send_signal(signal.SIGINT)
            try:
                recorder.wait(5)
            except subprocess.TimeoutExpired:
                recorder.kill()
                recorder.wait()
    if not data:
        message = recorder.stderr.read().decode(errors="replace").strip()
        raise RuntimeError("parec recorded nothing" + (": " + message if message else ""))
    samples = array.array("h")
    samples.frombytes(bytes(data[: len(data) // 2 * 2]))
    if sys.byteorder == "big":
        samples.byteswap()
    return samples


# ---- Finding the sounds in a recording ----


def first_loud(samples, start):
    for i in range(start, len(samples)):
        if samples[i] > LOUD or samples[i] < -LOUD:
            return i
    return -1


def first_loud_byte(data, start):
    """The offset of the first loud sample in raw 16-bit data from byte start on; -1 if none."""
    start -= start % 2
    samples = array.array("h")
    samples.frombytes(bytes(data[start : len(data) // 2 * 2]))
    if sys.byteorder == "big":
        samples.byteswap()
    at = first_loud(samples, 0)
    return -1 if at < 0 else start + 2 * at


def block_matches(samples, at, reference, position):
    """True when 5 ms of the recording at `at` is the reference's from `position`."""
    return span_error(samples, at, reference, position, BLOCK) <= 1.0


def span_matches(samples, at, reference, position, n):
    """True when n samples of the recording at `at` are the reference's from `position`."""
    return span_error(samples, at, reference, position, n) <= 1.0


def span_error(samples, at, reference, position, n):
    """How far n samples of the recording at `at` are from the reference's at `position`:
    the energy of the difference over what is allowed (2 % of the reference's energy, and
    never less than a quiet hiss); 1.0 and less is a match, a sample off is not."""
    n = min(n, len(reference) - position, len(samples) - at)
    if n <= 0 or at < 0:
        return float("inf")
    error = energy = 0
    for i in range(n):
        b = reference[position + i]
        d = samples[at + i] - b
        error += d * d
        energy += b * b
    return error / (0.02 * energy + n * (LOUD // 4) ** 2)


def openings(samples, onset, reference):
    """Starts in the recording at which the reference would lie with its sound at the
    onset: its opening can come a little late (the first milliseconds of a player can
    be lost), so positions in its first 25 ms whose next 2 ms match are tried."""
    n = RATE // 500
    for position in range(0, min(len(reference) - n, RATE // 40)):
        if abs(samples[onset] - reference[position]) <= LOUD and span_matches(
            samples, onset, reference, position, n
        ):
            yield onset - position


def resume(samples, at, reference, position):
    """Where the reference goes on after the recording left it at (at, position):
    (at, position) of the next loud sound when it is the reference's continuation,
    delayed (silence inserted) or with up to 50 ms of it lost; None otherwise."""
    loud = first_loud(samples[: min(len(samples), at + RATE * 3 // 10)], at)
    if loud < 0:
        return None
    best = (1.0, None)
    for later in range(position, min(len(reference), position + RATE // 20)):
        if abs(samples[loud] - reference[later]) <= LOUD:
            error = span_error(samples, loud, reference, later, BLOCK)
            if error <= best[0]:
                best = (error, later)
    return None if best[1] is None else (loud, best[1])


def follow(samples, start, reference):
    """How the recording follows the reference from start: (reached, heard, gap, end) in
    samples: how far into the reference playback got, how much of it was heard, the
    silence inserted on the way, and where it ended in the recording. The server plays
    silence when a player falls behind and the sound then goes on, which counts as a gap,
    not as the end of the sound."""
    position = heard = gap = 0
    at = start
    while position < len(reference) and at < len(samples):
        if block_matches(samples, at, reference, position):
            step = min(BLOCK, len(reference) - position)
            position += step
            heard += step
            at += step
            continue
        # Where exactly in this block the recording leaves the reference.
        while (
            position < len(reference)
            and at < len(samples)
            and abs(samples[at] - reference[position]) <= LOUD
        ):
            position += 1
            heard += 1
            at += 1
        if position >= len(reference):
            break
        resumed = resume(samples, at, reference, position)
        if resumed is None:
            break
        gap += max(0, (resumed[0] - at) - (resumed[1] - position))
        at, position = resumed
    return position, heard, gap, at


def find_sounds(samples, references):
    """The sounds heard, in order: (name, start, reached, length, heard, gap), in samples;
    name is None for a stretch of sound that is none of the references."""
    found = []
    at = 0
    while True:
        onset = first_loud(samples, at)
        if onset < 0:
            break
        last = found[-1] if found else None
        # The reference that the recording follows longest from here.
        best = None
        for name, reference in references:
            for start in openings(samples, onset, reference):
                reached, heard, gap, end = follow(samples, start, reference)
                if end > onset and (best is None or heard > best[4]):
                    best = (name, start, reached, len(reference), heard, gap, end)
        if best is not None and best[4] >= 2 * BLOCK:
            found.append(best[:6])
            at = best[6]
            continue
        # Not one of the sounds: skip to the next 50 ms of silence.
        end = onset
        quiet = 0
        while end < len(samples) and quiet < RATE // 20:
            quiet = quiet + 1 if -LOUD <= samples[end] <= LOUD else 0
            end += 1
        loud = end - quiet - onset
        if (
            last is not None
            and last[0] is not None
            and last[3] - last[2] <= 2 * BLOCK
            and loud <= 2 * BLOCK
            and onset - at <= RATE * 3 // 10
        ):
            # The last few milliseconds of the sound before, played after the server fell
            # behind: too short to compare with the reference, so counted as its end.
            name, start, reached, length, heard, gap = last
            found[-1] = (name, start, min(length, reached + loud), length, heard + loud,
                         gap + onset - at)
        else:
            found.append((None, onset, loud, 0, 0, 0))
        at = end
    return found


def report_lines(samples, paths):
    references = [(os.path.splitext(os.path.basename(p))[0], read_wave(p)) for p in paths]
    lines = []
    for name, start, reached, length, heard, gap in find_sounds(samples, references):
        ms = lambda n: "%.1f" % (1000.0 * n / RATE)
        if name is None:
            lines.append("? %s %s" % (ms(start), ms(reached)))
        else:
            lines.append(
                "%s %s %s %s %s %s"
                % (name, ms(start), ms(reached), ms(length), ms(heard), ms(gap))
            )
    return lines


# ---- Commands ----


def option(args, name, default=None):
    if name in args:
        i = args.index(name)
        value = args[i + 1]
        del args[i : i + 2]
        return value
    return default


def main():
    args = sys.argv[1:]
    if not args or args[0] not in ("record", "find", "watch"):
        sys.exit(__doc__)
    command = args.pop(0)
    seconds = float(option(args, "--seconds", "30" if command == "watch" else "5"))
    ready_file = option(args, "--ready")
    stop_file = option(args, "--stop")
    sounding_file = option(args, "--sounding")
    if command == "record" and len(args) == 1:
        write_wave(args[0], record(seconds))
    elif command == "find" and len(args) >= 2:
        for line in report_lines(read_wave(args[0]), args[1:]):
            print(line)
    elif command == "watch" and len(args) >= 2 and ready_file and stop_file:
        report = args[0]
        try:
            samples = record(seconds, stop_file, ready_file, sounding_file)
            write_wave(report + ".wav", samples)  # kept beside the report for a look
            lines = report_lines(samples, args[1:])
        except Exception as error:  # the reader waits for the report: always write one
            lines = ["error %s" % str(error).replace("\n", " ")]
        with open(report + ".part", "w") as f:
            f.write("".join(line + "\n" for line in lines))
        os.replace(report + ".part", report)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
