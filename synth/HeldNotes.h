// The keys that are down, each with its velocity, ordered by note number. A fixed table of the
// 128 MIDI notes: note handling on the audio thread never allocates.
#pragma once

class HeldNotes {
public:
    static constexpr int kNotes = 128;

    // A velocity of 0 or less removes the note; notes outside 0..127 are ignored.
    void Set(int note, int velocity) {
        if (note < 0 || note >= kNotes) return;
        bool held = velocities_[note] > 0;
        int stored = velocity > 0 ? velocity : 0;
        count_ += (stored > 0) - held;
        velocities_[note] = stored;
    }
    void Remove(int note) { Set(note, 0); }
    void Clear() {
        for (int& velocity : velocities_)
            velocity = 0;
        count_ = 0;
    }
    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    bool Contains(int note) const { return Velocity(note) > 0; }
    int Velocity(int note) const { return note >= 0 && note < kNotes ? velocities_[note] : 0; }
    // The highest held note, or -1 when none is held.
    int Highest() const {
        for (int note = kNotes - 1; note >= 0; --note)
            if (velocities_[note] > 0) return note;
        return -1;
    }

private:
    int velocities_[kNotes] = {0};
    int count_ = 0;
};
