// Incoming MIDI short messages waiting for the control tick they are due in, offsets counted in
// samples from the start of the next block. The capacity is set on the host's control thread;
// adding and taking never allocate, so the audio thread may use it.
#pragma once

#include "host/IPlugBase.h"

#include <vector>

class MidiQueue {
public:
    static constexpr int kDefaultCapacity = 1024;

    MidiQueue() { Resize(kDefaultCapacity); }

    // Drops every waiting message and sets the capacity.
    void Resize(int capacity) {
        items_.assign(capacity > 0 ? capacity : 1, IMidiMessage());
        count_ = 0;
    }
    int Capacity() const { return static_cast<int>(items_.size()); }
    int Size() const { return count_; }
    bool Empty() const { return count_ == 0; }
    void Clear() { count_ = 0; }
    const IMidiMessage& operator[](int index) const { return items_[index]; }

    // Whether a message ends a sound: a note-off (or a note-on of velocity 0), or the sustain
    // pedal going up. Losing one of these would leave a note hanging.
    static bool EndsSound(const IMidiMessage& m) {
        const int kind = m.status >> 4;
        return kind == 0x8 || (kind == 0x9 && m.data2 == 0) ||
               (kind == 0xB && m.data1 == 64 && m.data2 == 0);
    }

    // Appends in arrival order and answers whether the message was kept. A full queue drops
    // the message, unless it ends a sound; such a message is never lost while what it ends is
    // kept:
    //  - a note-off whose note-on still waits cancels that note-on (the note never sounds);
    //  - one that repeats a waiting message ending the same sound is redundant;
    //  - otherwise it takes the place of the newest waiting message that ends nothing (that
    //    message is dropped: a note it would start never starts);
    //  - in a queue of endings only, a repeated ending makes room. (With the instrument's
    //    capacity of at least 1024 there always is one: only 128 notes and a pedal can end.)
    bool Add(const IMidiMessage& message) {
        if (count_ < Capacity()) {
            items_[count_++] = message;
            return true;
        }
        if (!EndsSound(message)) return false;
        for (int i = count_ - 1; i >= 0; --i) {
            if (!SameSound(items_[i], message)) continue;
            if (!EndsSound(items_[i])) Remove(i); // the note-on it would end
            return true;
        }
        for (int i = count_ - 1; i >= 0; --i)
            if (!EndsSound(items_[i]) || RepeatsEarlierEnding(i)) {
                Remove(i);
                items_[count_++] = message;
                return true;
            }
        return false;
    }

    // Hands over the messages at the front whose offset lies below `limit`, in arrival order,
    // and removes them.
    template <class Take> void TakeDue(int limit, Take take) {
        int taken = 0;
        while (taken < count_ && items_[taken].offset < limit)
            take(items_[taken++]);
        for (int i = taken; i < count_; ++i)
            items_[i - taken] = items_[i];
        count_ -= taken;
    }

    // A block of `frames` samples is done: the waiting messages come that much closer.
    void Advance(int frames) {
        for (int i = 0; i < count_; ++i)
            items_[i].offset = items_[i].offset > frames ? items_[i].offset - frames : 0;
    }

private:
    // Both messages concern the same note, or both the sustain pedal.
    static bool SameSound(const IMidiMessage& a, const IMidiMessage& b) {
        const bool pedalA = (a.status >> 4) == 0xB && a.data1 == 64;
        const bool pedalB = (b.status >> 4) == 0xB && b.data1 == 64;
        if (pedalA || pedalB) return pedalA && pedalB;
        const int kindA = a.status >> 4;
        return (kindA == 0x8 || kindA == 0x9) && a.data1 == b.data1;
    }
    // Item i ends the same sound as an earlier item that also ends it.
    bool RepeatsEarlierEnding(int i) const {
        for (int j = 0; j < i; ++j)
            if (EndsSound(items_[j]) && SameSound(items_[j], items_[i])) return true;
        return false;
    }
    void Remove(int index) {
        for (int i = index + 1; i < count_; ++i)
            items_[i - 1] = items_[i];
        --count_;
    }

    std::vector<IMidiMessage> items_;
    int count_ = 0;
};
