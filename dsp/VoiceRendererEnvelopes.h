// The chunk renderer's envelopes for any number of lanes: the envelopes of kWidth voices
// advance side by side in one register, and the registers of a group's vcf and vca envelopes
// take turns sample by sample. One envelope alone is a chain of additions, each waiting for the
// last; side by side, the chains overlap.
//
// Each lane keeps the stage it had when loaded. Its step is the stage's step of
// Envelope::tick(), chosen per lane by masks, operation for operation as the scalar code does it.
// A sample at which any lane would change stage is ticked by the scalar code for every lane of
// the register, which then loads again. Lanes of both behaviours in one register run ahead
// one by one through Envelope::run().
//
// Included by the source file of each lane type, like VoiceRendererKernel.h; the lane type
// provides, besides what the filter stage uses:
//     Less, LessEqual, Equal   lane masks of the ordered comparisons (false for NaN)
//     Blend(mask, a, b)        a where the mask is set, b elsewhere
#pragma once

#include "dsp/VoiceRendererInternal.h"

template <class L> struct VoiceRenderer::EnvelopeLanes {
    using V = typename L::V;
    using M = typename L::M;
    using I = typename L::I;
    static constexpr int kWidth = L::kWidth;
    using Block = PackBlock<kWidth>;

    // The envelopes of a register's lanes, and the block column their outputs go to.
    struct Lanes {
        Envelope* envelopes[kWidth];
        double* column; // sample i of lane j at column[i * kWidth + j]
        bool dw6000;    // the behaviour of every lane
        bool curve;     // some lane reads the exponential curve (8000 decay or release)
        bool anyAttack, anySlope;
        // Whether the 8000 behaviour's position can be below 0 at the next sample, and at every
        // sample after it.
        bool clampNext, clampEverySample;
        V pos, out, inc;
        V negInc, negHalfInc; // the falling steps
        V breakPoint, sustain, target;
        V scale; // of the curve's index: 510 in the 8000 decay, 255 in its release
        // The lanes' stages, as masks; `rising` is attack, decay or release in the 8000
        // behaviour (which all step upward along the curve) and attack alone in the 6000 one.
        M attack, decay, slope, release, rising, falling;
        // The curve's entries at the lanes' last indices.
        I curveIndex;
        V curveEntries;
    };

    Lanes registers[2 * MaxPacks(kWidth)];
    int count; // of registers that step sample by sample

    // Both envelopes of every voice of the packs' lanes; the blocks' vcfEnv and vcaEnv take
    // their n samples. Registers whose lanes mix the behaviours run ahead at once.
    void load(const Lane* lanes, int packs, int n, Block* blocks) {
        count = 0;
        for (int p = 0; p < packs; ++p) {
            for (Envelope VoicePath::*envelope : {&VoicePath::vcfEnv, &VoicePath::vcaEnv}) {
                Lanes& e = registers[count];
                for (int j = 0; j < kWidth; ++j)
                    e.envelopes[j] = &(lanes[kWidth * p + j].voice->*envelope);
                e.column = envelope == &VoicePath::vcfEnv ? &blocks[p].vcfEnv[0][0]
                                                          : &blocks[p].vcaEnv[0][0];
                // Two lanes to a register gain less from the overlap than the masks cost
                // (measured), so pairs run one by one.
                if (kWidth > 2 && SameBehaviour(lanes + kWidth * p, e)) {
                    Load(e);
                    ++count;
                } else {
                    for (int j = 0; j < kWidth; ++j)
                        e.envelopes[j]->run(e.column + j, kWidth, n);
                }
            }
        }
    }

    // Sample i of every register.
    void step(int i) {
        for (int r = 0; r < count; ++r) {
            Lanes& e = registers[r];
            if (!(e.dw6000 ? Step6000(e, i) : Step8000(e, i))) TickOneByOne(e, i);
        }
    }

    // The moving state back into the envelopes.
    void save() const {
        for (int r = 0; r < count; ++r)
            Save(registers[r]);
    }

private:
    // Whether the sounding lanes share one behaviour; it becomes the register's. A silent
    // stand-in is idle at level 0 and gives 0 in either behaviour.
    static bool SameBehaviour(const Lane* lanes, Lanes& e) {
        int sounding = 0, dw6000 = 0;
        for (int j = 0; j < kWidth; ++j) {
            if (!lanes[j].voice->active) continue;
            ++sounding;
            if (e.envelopes[j]->dw6000_) ++dw6000;
        }
        e.dw6000 = dw6000 > 0;
        return dw6000 == 0 || dw6000 == sounding;
    }

    template <class Field> static V Gather(const Lanes& e, Field field) {
        double x[kWidth];
        for (int j = 0; j < kWidth; ++j)
            x[j] = field(*e.envelopes[j]);
        return L::Join(x);
    }

    static void Load(Lanes& e) {
        e.pos = Gather(e, [](const Envelope& env) { return env.pos_; });
        e.out = Gather(e, [](const Envelope& env) { return env.out_; });
        e.inc = Gather(e, [](const Envelope& env) { return env.inc_; });
        e.negInc = -e.inc;
        e.negHalfInc = -Gather(e, [](const Envelope& env) { return env.inc_ * 0.5; });
        e.breakPoint = Gather(e, [](const Envelope& env) { return env.breakPoint_; });
        e.sustain = Gather(e, [](const Envelope& env) { return env.sustain_; });
        // The 6000 decay's end, as its tick computes it.
        e.target = Gather(e, [](const Envelope& env) { return env.breakPoint_ * 1.05 - 0.05; });
        const V stage = Gather(e, [](const Envelope& env) { return double(env.stage_); });
        e.attack = L::Equal(stage, L::Set(Envelope::kAttack));
        e.decay = L::Equal(stage, L::Set(Envelope::kDecay));
        e.slope = L::Equal(stage, L::Set(Envelope::kSlope));
        e.release = L::Equal(stage, L::Set(Envelope::kRelease));
        const M decayOrRelease = L::Or(e.decay, e.release);
        e.rising = e.dw6000 ? e.attack : L::Or(e.attack, decayOrRelease);
        e.falling = e.dw6000 ? decayOrRelease : L::None();
        e.curve = !e.dw6000 && L::Any(decayOrRelease);
        e.anyAttack = L::Any(e.attack);
        e.anySlope = L::Any(e.slope);
        e.scale = L::Or(L::And(e.decay, L::Set(510)), L::And(e.release, L::Set(255)));
        // Rising steps are never negative (times are positive), so after the first sample only
        // the slope's steps down can take a position below 0.
        e.clampNext = true;
        e.clampEverySample = e.anySlope || L::Any(L::Less(e.inc, L::Set(0)));
        e.curveIndex = L::NoIndex(); // nothing read yet
    }

    // The lanes' moving state back into their envelopes.
    static void Save(const Lanes& e) {
        alignas(8 * kWidth) double pos[kWidth], out[kWidth];
        L::Store(pos, e.pos);
        L::Store(out, e.out);
        for (int j = 0; j < kWidth; ++j) {
            e.envelopes[j]->pos_ = pos[j];
            e.envelopes[j]->out_ = out[j];
        }
    }

    // Sample i by the scalar code, lane by lane, where some lane changes stage.
    static void TickOneByOne(Lanes& e, int i) {
        Save(e);
        for (int j = 0; j < kWidth; ++j) {
            e.envelopes[j]->tick();
            e.column[i * kWidth + j] = e.envelopes[j]->out_;
        }
        Load(e);
    }

    // curve[index] per lane.
    static V Curve(const double* curve, I index) {
        alignas(32) int at[8];
        L::Store(at, index);
        double x[kWidth];
        for (int j = 0; j < kWidth; ++j)
            x[j] = curve[at[j]];
        return L::Join(x);
    }

    // One sample of the 8000 behaviour (Envelope::tick8000In); false, and nothing changed, if a
    // lane would change stage. The parts of stages that no lane is in are left out.
    static bool Step8000(Lanes& e, int i) {
        // Below 0 the position starts at 0; the check is left out where it cannot apply.
        const V pos = e.clampNext ? Clamp(e.pos) : e.pos;
        e.clampNext = e.clampEverySample;
        if (L::Any(L::AndNot(L::Less(pos, L::Set(1)), e.rising))) return false;
        V next = pos + e.inc;
        M moving = e.rising;
        V out = e.out; // idle keeps its level
        if (e.anyAttack) out = L::Blend(e.attack, pos, out);
        if (e.curve) {
            // The decay reads the curve over the first half of its stage, then holds at the
            // break point (the curve's part then 0: the break point is never -0); the release
            // reads it all along. Other lanes read entry 0. An entry is read again only when
            // some lane's index moves, as it does every few samples at the fastest.
            const M early = L::And(e.decay, L::Less(pos, L::Set(0.5)));
            const I index = L::Truncate(L::And(L::Or(early, e.release), pos * e.scale));
            if (!L::Same(index, e.curveIndex)) {
                e.curveIndex = index;
                e.curveEntries = Curve(e.envelopes[0]->curve_, index);
            }
            const V curve = e.curveEntries;
            out = L::Blend(e.decay, L::And(early, curve) + e.breakPoint, out);
            out = L::Blend(e.release, curve, out);
        }
        if (e.anySlope) {
            // The slope moves toward the sustain level by whole steps, and rests on it.
            const M up = L::And(e.slope, L::Less(pos, e.sustain));
            const M down = L::And(e.slope, L::Less(e.sustain, pos));
            next = L::Blend(down, pos + e.negInc, next);
            moving = L::Or(moving, L::Or(up, down));
        }
        e.pos = L::Blend(moving, next, pos);
        if (e.anySlope) out = L::Blend(e.slope, e.pos, out);
        e.out = out;
        L::Store(e.column + i * kWidth, out);
        return true;
    }

    // The 8000 behaviour's first act each sample: a position below 0 becomes 0.
    static V Clamp(V pos) { return L::AndNot(L::Less(pos, L::Set(0)), pos); }

    // One sample of the 6000 behaviour (Envelope::tick6000In), or false as above.
    static bool Step6000(Lanes& e, int i) {
        const V zero = L::Set(0);
        const V pos = e.pos;
        const M ends = L::Or(L::AndNot(L::Less(pos, L::Set(1)), e.attack),
                             L::Or(L::AndNot(L::Less(e.target, pos), e.decay),
                                   L::AndNot(L::Less(zero, pos), e.release)));
        if (L::Any(ends)) return false;
        // Decay and release fall at half speed from 0.1 down.
        const V fall = L::Blend(L::LessEqual(pos, L::Set(0.1)), e.negHalfInc, e.negInc);
        const M up = L::And(e.slope, L::Less(pos, e.sustain));
        const M down = L::And(e.slope, L::Less(e.sustain, pos));
        const V step = L::Blend(e.falling, fall, L::Blend(down, e.negInc, e.inc));
        const M moving = L::Or(L::Or(e.rising, e.falling), L::Or(up, down));
        e.pos = L::Blend(moving, pos + step, pos);
        e.out = L::And(L::Less(zero, e.pos), e.pos);
        L::Store(e.column + i * kWidth, e.out);
        return true;
    }
};
