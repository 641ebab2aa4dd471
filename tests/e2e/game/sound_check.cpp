// Listening to the game from outside: records what the sound server plays while a check
// runs (tests/support/listen_client.h) and compares the sounds heard, in order, with the sounds
// the clicks should have played. Relies on the recorder beside the driver in bin/ and on
// the game's own wave files in bin/sound/; knows nothing of the game's code.
#include "driver.h"

#include <algorithm>

#include "tests/support/listen_client.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

struct SoundState {
    Listening listening; // the recording in progress
    bool listening_on;   // a recording runs
    uint32_t ready_at;   // tick count when it began (the recording's time 0, within 20 ms)
    bool checked;        // whether sound can be recorded has been asked
    bool available;      // the answer
};
SoundState sound{};

// ============================================================================
// Internal helpers
// ============================================================================

// Joins each sound that a busy machine interrupted to its continuation. When the player
// falls behind, playback stops for a moment (or stutters) and what comes after no longer
// lines up sample for sample with the file, so the recorder reports the sound as cut off
// and the rest as unknown sounds ("?"). The continuation counts only as unknown pieces in a
// row, each starting within 3 s of the one before, together about as long as the rest
// (at least 0.8 times it, at most 0.6 s more); a sound stopped for good is followed by
// something else or by silence, and stays cut off. A sound short of at most its last 10 ms
// may be followed by those milliseconds alone, played late: one piece of at most 10 ms.
// (A busy machine was seen to hold a shot's rest back for 1.5 s.)
// Where the recorder lost more of the file than the silence it found, the end it gives
// lies a little after the real one: pieces are taken in their order, wherever they start.
void join_interrupted(std::vector<HeardSound>& heard) {
    for (size_t i = 0; i < heard.size(); i++) {
        HeardSound& cut = heard[i];
        const double missing = cut.length - cut.reached;
        if (cut.name == "?" || missing <= 0.0)
            continue;
        double end = cut.start + cut.reached + cut.gap, went_on = 0.0, stopped = 0.0;
        size_t j = i + 1;
        for (; j < heard.size() && heard[j].name == "?" && heard[j].start - end <= 3000.0; j++) {
            stopped += std::max(0.0, heard[j].start - end);
            went_on += heard[j].reached; // for "?", reached is its length
            end = heard[j].start + heard[j].reached;
        }
        const bool tail = missing <= 10.0 && j == i + 2 && went_on <= 10.0;
        if (j == i + 1 ||
            (!tail && (missing <= 10.0 || went_on < 0.8 * missing || went_on > missing + 600.0)))
            continue;
        report_note(format("sound: \"%s\" at %.0f ms was cut off at %.0f ms by a busy player "
                           "and went on in %d pieces (%.0f ms, after %.0f ms of silence)",
                           cut.name.c_str(), cut.start, cut.reached, int(j - i - 1), went_on,
                           stopped));
        cut.reached = cut.length;
        cut.heard += missing;
        cut.gap = std::max(cut.gap, end - cut.start - cut.length);
        heard.erase(heard.begin() + long(i) + 1, heard.begin() + long(j));
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Starts recording what the game plays; false (with a note, once) where sound cannot be
// recorded, or with a failure when the recorder did not start.
bool sound_watch_start(const std::string& name) {
    if (!sound.checked) {
        std::string why;
        sound.checked = true;
        sound.available = listen_available(why);
        if (!sound.available)
            report_note("sound is not checked: " + why);
    }
    if (!sound.available)
        return false;
    std::string why;
    sound.listening_on = listen_start(sound.listening, "e2e_" + name, why);
    sound.ready_at = now_ms();
    return report("recorder for " + name + " starts", sound.listening_on, why);
}

// Milliseconds since the recording began: where an event of now falls in the recording.
double sound_watch_time() {
    return static_cast<double>(now_ms() - sound.ready_at);
}

// Stops recording; true with the sounds heard, in order.
bool sound_watch_stop(const std::string& name, std::vector<HeardSound>& heard) {
    heard.clear();
    if (!sound.listening_on)
        return false;
    sound.listening_on = false;
    std::string why;
    bool stopped =
        report("recorder for " + name + " reports", listen_stop(sound.listening, heard, why), why);
    join_interrupted(heard);
    return stopped;
}

// Checks that the sounds heard from `next` on begin with the expected ones, each played to
// its end and each starting only after the one before ended; moves `next` past them.
bool sound_sequence_ok(const std::vector<HeardSound>& heard, size_t& next,
                       const std::vector<std::string>& expected, std::string& why) {
    double previous_end = -1.0;
    for (const std::string& want : expected) {
        if (next >= heard.size()) {
            why = "\"" + want + "\" was not heard; heard: " + heard_text(heard);
            return false;
        }
        const HeardSound& sound_heard = heard[next++];
        if (sound_heard.name != want) {
            why = "heard \"" + sound_heard.name + "\" where \"" + want +
                  "\" was due; heard: " + heard_text(heard);
            return false;
        }
        if (!played_whole(sound_heard)) {
            why = format("\"%s\" was cut off: %.0f of %.0f ms; heard: %s", want.c_str(),
                         sound_heard.reached, sound_heard.length, heard_text(heard).c_str());
            return false;
        }
        if (sound_heard.start < previous_end - 2.0) {
            why = format("\"%s\" began at %.0f ms, before the sound before it ended at %.0f ms",
                         want.c_str(), sound_heard.start, previous_end);
            return false;
        }
        previous_end = sound_heard.start + sound_heard.reached + sound_heard.gap;
    }
    return true;
}
