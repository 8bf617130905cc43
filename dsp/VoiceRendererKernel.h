// The chunk renderer's voices for any number of lanes: the envelopes (VoiceRendererEnvelopes.h),
// then the envelope smoothers, the cutoff index, the ladder's tuning and recursion, and the
// amplifier, of kWidth voices at once. Written once over a lane type that wraps one vector
// register, and included by the source file of each lane type inside that instruction set's target
// region, so each gets its own copy (the lane types have internal linkage, and so have these
// instantiations).
//
// The arithmetic uses the compiler's vector operators (+, -, *, / per lane), in exactly the
// order of the scalar code it mirrors: per-lane IEEE operations give the scalar results to the
// last bit. The lane type provides the rest:
//     V, kWidth            the register type and its number of doubles
//     M                    a mask of lanes: V itself, all bits of a lane set or clear, or a
//                          mask register
//     I                    kWidth 32-bit integers: an __m128i or wider, the spare lanes 0
//     Load, Store          aligned, kWidth doubles; Store also an I to 8 aligned ints
//     Join                 kWidth doubles written one by one, joined in registers (a vector
//                          load right after scalar stores would wait for them to retire)
//     Set                  every lane one value
//     Min, Max             as minpd and maxpd: the second operand when either is NaN
//     IsNaN                a lane mask: NaN
//     And, AndNot, Or      of masks, and of a mask and values (0 in the lanes it clears)
//     None, Any            the empty mask; whether a mask has any lane set
//     Truncate             to 32-bit integers toward zero; ToDouble back
//     Same, NoIndex        whether two I are equal in every lane; an I of -1 in every lane
#pragma once

#include "dsp/VoiceRendererEnvelopes.h"
#include "dsp/VoiceRendererInternal.h"

template <class L> struct VoiceRenderer::Kernel {
    using V = typename L::V;
    using M = typename L::M;
    using I = typename L::I;
    static constexpr int kWidth = L::kWidth;
    using Block = PackBlock<kWidth>;

    // The units' step for every recursive state: isnan(s) ? 0 : s + d, which keeps NaN from
    // spreading and the state out of the denormal range. Unguarded it is s + d alone, the same
    // whenever s is not NaN; a pass that runs unguarded checks its states at the end (a NaN,
    // once in, stays in every state of these recursions) and is redone guarded if one got in.
    template <bool Guarded> static V Offset(V s, V d) {
        const V sum = s + d;
        return Guarded ? L::AndNot(L::IsNaN(s), sum) : sum;
    }

    // An envelope smoother (Filter::process) per lane.
    struct Biquads {
        V a, b, c0, c1, x1, x2, y1, y2, d;

        template <bool Guarded> V process(V x) {
            x = Offset<Guarded>(x, d);
            x1 = Offset<Guarded>(x1, d);
            x2 = Offset<Guarded>(x2, d);
            y1 = Offset<Guarded>(y1, d);
            y2 = Offset<Guarded>(y2, d);
            d = -d;
            const V y = (x + x2) * c0 + x1 * c1 + y1 * a + y2 * b;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
        M nan() const {
            return L::Or(L::Or(L::IsNaN(x1), L::IsNaN(x2)), L::Or(L::IsNaN(y1), L::IsNaN(y2)));
        }
    };

    // The envelope smoothers and the ladder tuning of the lanes.
    struct Tuning {
        Biquads vcfSmooth, vcaSmooth;
        V cutoffTerms, egAmount, baseCutoff, resonance;
        const RateTables* tables[kWidth];
        // The table index of each lane that the coefficients belong to, reused while it stays.
        I index;
        V g, a, g4, k, norm;
    };

    // The ladder filter's recursion (LadderFilter::process after its tuning) per lane, with
    // the amplifier stage that follows it.
    struct Ladders {
        V s1, s2, s3, s4, d;
        V gainComp, vcaGain;

        M nan() const {
            return L::Or(L::Or(L::IsNaN(s1), L::IsNaN(s2)), L::Or(L::IsNaN(s3), L::IsNaN(s4)));
        }
    };

    // RenderPacks for this lane type: the envelopes, then the filters, unguarded first, which
    // nearly always succeeds.
    static void Render(const Lane* lanes, int packs, int n, Block* blocks) {
        Envelopes(lanes, packs, n, blocks);
        if (!Group<false>(lanes, packs, n, blocks)) Group<true>(lanes, packs, n, blocks);
    }

    // The filters of a group of packs; false when unguarded and a NaN got into any state.
    template <bool Guarded> static bool Group(const Lane* lanes, int packs, int n, Block* blocks) {
        constexpr int kMaxPacks = MaxPacks(kWidth);
        Tuning tuning[kMaxPacks];
        Ladders ladders[kMaxPacks];
        for (int p = 0; p < packs; ++p) {
            tuning[p] = LoadTuning(lanes + kWidth * p);
            ladders[p] = LoadLadders(lanes + kWidth * p);
        }
        for (int i = 0; i < n; ++i)
            for (int p = 0; p < packs; ++p)
                Step<Guarded>(tuning[p], ladders[p], blocks[p], i);

        if (!Guarded) {
            M nan = L::None();
            for (int p = 0; p < packs; ++p)
                nan = L::Or(nan, L::Or(L::Or(tuning[p].vcfSmooth.nan(), tuning[p].vcaSmooth.nan()),
                                       ladders[p].nan()));
            if (L::Any(nan)) return false;
        }
        for (int p = 0; p < packs; ++p) {
            StoreTuning(tuning[p], lanes + kWidth * p);
            StoreLadders(ladders[p], lanes + kWidth * p);
        }
        return true;
    }

    // Both envelopes of every voice over n samples, into the blocks.
    static void Envelopes(const Lane* lanes, int packs, int n, Block* blocks) {
        EnvelopeLanes<L> envelopes;
        envelopes.load(lanes, packs, n, blocks);
        for (int i = 0; i < n; ++i)
            envelopes.step(i);
        envelopes.save();
    }

    // One sample of a pack: the envelope smoothers, the cutoff index, the ladder's coefficients
    // (VoicePath::sample, LadderFilter::tune), the ladder (LadderFilter::process from its stage
    // offsets on) and the amplifier.
    template <bool Guarded> static void Step(Tuning& t, Ladders& s, Block& block, int i) {
        const V ef = t.vcfSmooth.template process<Guarded>(L::Load(block.vcfEnv[i]));
        const V ea = t.vcaSmooth.template process<Guarded>(L::Load(block.vcaEnv[i]));

        // VoicePath::CutoffIndex: truncated, held at +-1e9 (NaN at -1e9: Max and Min give
        // their second operand when one is NaN).
        const V sum = t.cutoffTerms + ef * t.egAmount;
        const V cutoff = L::ToDouble(L::Truncate(L::Min(L::Max(sum, L::Set(-1e9)), L::Set(1e9))));
        // The ladder's table index, truncated; below 0 (or NaN) 0, the top held.
        const V pitch = L::Max(cutoff + t.baseCutoff, L::Set(0));
        const I index = L::Truncate(L::Min(pitch, L::Set(double(kMaxPitch))));
        // The coefficients depend on nothing but the index, the resonance and the tables; they
        // are computed again only when an index moves (the cutoff mostly moves slowly), for
        // every lane at once, which gives the unmoved lanes the values they had.
        if (!L::Same(index, t.index)) retune(t, index);
        const V g = t.g, a = t.a;

        const V x = L::Load(block.input[i]);
        s.s1 = Offset<Guarded>(s.s1, s.d);
        s.s2 = Offset<Guarded>(s.s2, s.d);
        s.s3 = Offset<Guarded>(s.s3, s.d);
        s.s4 = Offset<Guarded>(s.s4, s.d);
        s.d = -s.d;

        const V y = (((s.s1 * g + s.s2) * g + s.s3) * g + s.s4 + x * t.g4) * t.norm;

        // The feedback limiter, LadderFilter::Limit(0.2 * y). Its curve reaches exactly +-5 at
        // q = +-3, so holding q there gives its flat ends (Min and Max pass a NaN q on).
        const V q = L::Max(L::Set(-3), L::Min(L::Set(3), 0.2 * y));
        const V q2 = q * q;
        const V o = 5.0 * q * (q2 + 27.0) / (9.0 * q2 + 27.0);

        const V u = g * (x - t.k * o);
        const V y1 = s.s1 + u;
        s.s1 = u - a * y1;
        const V gy1 = g * y1;
        const V y2 = s.s2 + gy1;
        s.s2 = gy1 - a * y2;
        const V gy2 = g * y2;
        const V y3 = s.s3 + gy2;
        s.s3 = gy2 - a * y3;
        const V gy3 = g * y3;
        const V y4 = s.s4 + gy3;
        s.s4 = gy3 - a * y4;

        L::Store(block.out[i], y * s.gainComp * ea * s.vcaGain);
    }

    // LadderFilter::tune for every lane.
    static void retune(Tuning& t, I index) {
        t.index = index;
        alignas(32) int at[8];
        L::Store(at, index);
        double w[kWidth], c[kWidth];
        for (int j = 0; j < kWidth; ++j) {
            w[j] = t.tables[j]->ladderW[at[j]];
            c[j] = t.tables[j]->ladderC[at[j]];
        }
        const V wv = L::Join(w);
        t.k = t.resonance * L::Join(c);
        const V h = 1.0 / (wv + 2.0);
        t.a = (wv - 2.0) * h;
        t.g = wv * h;
        t.g4 = t.g * t.g * t.g * t.g;
        t.norm = 1.0 / (1.0 + t.g4 * t.k);
    }

    // One double of every lane's voice as a vector, and back; `field` picks it from a voice.
    template <class Field> static V Gather(const Lane* lanes, Field field) {
        double x[kWidth];
        for (int j = 0; j < kWidth; ++j)
            x[j] = field(*lanes[j].voice);
        return L::Join(x);
    }
    template <class Field> static void Scatter(V v, const Lane* lanes, Field field) {
        alignas(8 * kWidth) double x[kWidth];
        L::Store(x, v);
        for (int j = 0; j < kWidth; ++j)
            field(*lanes[j].voice) = x[j];
    }

    // A smoother's field of every lane, `smoother` picking the smoother of a voice.
    static auto SmootherField(LowPass VoicePath::*smoother, double Filter::*field) {
        return [=](VoicePath& voice) -> double& { return (voice.*smoother).*field; };
    }
    static auto LadderField(double LadderFilter::*field) {
        return [=](VoicePath& voice) -> double& { return voice.filter.*field; };
    }

    static Biquads LoadBiquads(const Lane* lanes, LowPass VoicePath::*smoother) {
        const auto field = [&](double Filter::*f) {
            return Gather(lanes, SmootherField(smoother, f));
        };
        return {field(&Filter::a_),  field(&Filter::b_),  field(&Filter::c0_),
                field(&Filter::c1_), field(&Filter::x1_), field(&Filter::x2_),
                field(&Filter::y1_), field(&Filter::y2_), field(&Filter::d_)};
    }
    static void StoreBiquads(const Biquads& q, const Lane* lanes, LowPass VoicePath::*smoother) {
        Scatter(q.x1, lanes, SmootherField(smoother, &Filter::x1_));
        Scatter(q.x2, lanes, SmootherField(smoother, &Filter::x2_));
        Scatter(q.y1, lanes, SmootherField(smoother, &Filter::y1_));
        Scatter(q.y2, lanes, SmootherField(smoother, &Filter::y2_));
        Scatter(q.d, lanes, SmootherField(smoother, &Filter::d_));
    }

    static Tuning LoadTuning(const Lane* lanes) {
        Tuning t;
        t.vcfSmooth = LoadBiquads(lanes, &VoicePath::vcfSmooth);
        t.vcaSmooth = LoadBiquads(lanes, &VoicePath::vcaSmooth);
        t.cutoffTerms = Gather(lanes, [](VoicePath& v) { return v.kbdTerm + v.cutoffMod; });
        t.egAmount = Gather(lanes, [](VoicePath& v) { return v.egAmount; });
        t.baseCutoff = Gather(lanes, LadderField(&LadderFilter::baseCutoff_));
        t.resonance = Gather(lanes, LadderField(&LadderFilter::resonance_));
        // A stand-in was never reset; it borrows the tables of the pack's first voice.
        for (int j = 0; j < kWidth; ++j)
            t.tables[j] = lanes[j].voice->filter.tables_ ? lanes[j].voice->filter.tables_
                                                         : lanes[0].voice->filter.tables_;
        t.index = L::NoIndex(); // nothing computed yet
        t.g = t.a = t.g4 = t.k = t.norm = L::Set(0);
        return t;
    }

    static void StoreTuning(const Tuning& t, const Lane* lanes) {
        StoreBiquads(t.vcfSmooth, lanes, &VoicePath::vcfSmooth);
        StoreBiquads(t.vcaSmooth, lanes, &VoicePath::vcaSmooth);
        // Leave each ladder tuned to its last index, as the plain path leaves it.
        alignas(32) int at[8];
        L::Store(at, t.index);
        for (int j = 0; j < kWidth; ++j)
            lanes[j].voice->filter.cachedIndex_ = at[j];
        Scatter(t.g, lanes, LadderField(&LadderFilter::g_));
        Scatter(t.a, lanes, LadderField(&LadderFilter::a_));
        Scatter(t.g4, lanes, LadderField(&LadderFilter::g4_));
        Scatter(t.k, lanes, LadderField(&LadderFilter::k_));
        Scatter(t.norm, lanes, LadderField(&LadderFilter::norm_));
        for (int j = 0; j < kWidth; ++j) {
            LadderFilter& f = lanes[j].voice->filter;
            f.gainComp_ = LadderFilter::GainCompensation(f.resonance_);
        }
    }

    static Ladders LoadLadders(const Lane* lanes) {
        Ladders s;
        s.s1 = Gather(lanes, LadderField(&LadderFilter::s1_));
        s.s2 = Gather(lanes, LadderField(&LadderFilter::s2_));
        s.s3 = Gather(lanes, LadderField(&LadderFilter::s3_));
        s.s4 = Gather(lanes, LadderField(&LadderFilter::s4_));
        s.d = Gather(lanes, LadderField(&LadderFilter::d_));
        s.gainComp = Gather(lanes, [](VoicePath& v) {
            return LadderFilter::GainCompensation(v.filter.resonance_);
        });
        s.vcaGain = Gather(lanes, [](VoicePath& v) { return v.vcaGain; });
        return s;
    }

    static void StoreLadders(const Ladders& s, const Lane* lanes) {
        Scatter(s.s1, lanes, LadderField(&LadderFilter::s1_));
        Scatter(s.s2, lanes, LadderField(&LadderFilter::s2_));
        Scatter(s.s3, lanes, LadderField(&LadderFilter::s3_));
        Scatter(s.s4, lanes, LadderField(&LadderFilter::s4_));
        Scatter(s.d, lanes, LadderField(&LadderFilter::d_));
    }
};
