// Listening to the game from outside: records what the sound server plays while a check
// runs (tests/support/listen_client.h) and compares the sounds heard, in order, with the sounds
// the clicks should have played. Relies on the recorder beside the driver in bin/ and on
// the game's own wave files in bin/sound/; knows nothing of the game's code.
#include "driver.h"

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
// falls behind, playback stops for a moment and what comes after the gap no longer lines
// up sample for sample with the file, so the recorder reports the sound as cut off and the
// rest as an unknown sound ("?"). A continuation counts only when it starts within half a
// second of the cut and is about as long as the rest; a sound stopped for good (by another
// sound, or by no sound) is followed by something else or by silence, and stays cut off.
void join_interrupted(std::vector<HeardSound>& heard) {
    for (size_t i = 0; i + 1 < heard.size(); i++) {
        HeardSound& sound_heard = heard[i];
        const HeardSound& rest = heard[i + 1]; // for "?", reached is its length
        double missing = sound_heard.length - sound_heard.reached;
        double gap = rest.start - (sound_heard.start + sound_heard.reached + sound_heard.gap);
        if (sound_heard.name == "?" || rest.name != "?" || missing <= 10.0 || gap < 0.0 ||
            gap > 500.0 || rest.reached < 0.8 * missing || rest.reached > missing + 250.0)
            continue;
        report_note(format("sound: \"%s\" at %.0f ms was interrupted for %.0f ms (a busy "
                           "player) and went on for %.0f ms",
                           sound_heard.name.c_str(), sound_heard.start, gap, rest.reached));
        sound_heard.reached = sound_heard.length;
        sound_heard.heard += missing;
        sound_heard.gap += gap;
        heard.erase(heard.begin() + long(i) + 1);
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
