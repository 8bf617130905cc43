// Incoming MIDI short messages waiting for the control tick they are due in. The capacity is set
// on the host's control thread; adding and taking never allocate, so the audio thread may use it.
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

    // Appends in arrival order; a full queue drops the message and answers false.
    bool Add(const IMidiMessage& message) {
        if (count_ >= Capacity()) return false;
        items_[count_++] = message;
        return true;
    }

    // Hands over the messages at the front whose offset lies below `limit`, in arrival order,
    // removes them, and moves the offsets of the rest `limit` samples closer.
    template <class Take> void TakeDue(int limit, Take take) {
        int taken = 0;
        while (taken < count_ && items_[taken].offset < limit)
            take(items_[taken++]);
        for (int i = taken; i < count_; ++i) {
            items_[i - taken] = items_[i];
            items_[i - taken].offset -= limit;
        }
        count_ -= taken;
    }

private:
    std::vector<IMidiMessage> items_;
    int count_ = 0;
};
