// Writes the show's default soundtrack: an original piece in A minor at 120 beats per minute,
// 206 seconds long, 44.1 kHz stereo, encoded to MP3 with LAME. Four chord stabs with a cymbal
// land exactly at 4, 5, 6 and 7 seconds, where the player's sync points sit.
//
//   soundtrack_gen [--seconds S] OUTPUT.mp3
//
// --seconds cuts the piece (with a short fade) for tests that need a short file. The output is
// the same for the same arguments: no clock, no random seed from outside.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <lame/lame.h>

namespace {

constexpr int sampleRate = 44100;
constexpr double beat = 0.5;  // 120 bpm
constexpr double bar = 4 * beat;
constexpr double fullLength = 206.0;
constexpr double twoPi = 6.283185307179586;

double noteHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Deterministic noise in [-1, 1).
struct Noise {
    std::uint32_t state;
    explicit Noise(std::uint32_t seed) : state(seed * 2654435761u + 1u) {}
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
};

// One cycle of a soft, band-limited saw: warm enough for pads and stabs, no aliasing.
struct Wavetable {
    static constexpr int size = 4096;
    std::vector<float> table;
    Wavetable() : table(size + 1) {
        float peak = 0;
        for (int i = 0; i <= size; ++i) {
            double x = static_cast<double>(i) / size, v = 0;
            for (int k = 1; k <= 12; ++k) v += std::sin(twoPi * k * x) / (k * (1.0 + 0.08 * k * k));
            table[static_cast<std::size_t>(i)] = static_cast<float>(v);
            peak = std::max(peak, std::fabs(table[static_cast<std::size_t>(i)]));
        }
        for (auto& v : table) v /= peak;
    }
    float at(double phase) const {  // phase in cycles
        double p = (phase - std::floor(phase)) * size;
        int i = static_cast<int>(p);
        float f = static_cast<float>(p - i);
        return table[static_cast<std::size_t>(i)] * (1 - f) + table[static_cast<std::size_t>(i) + 1] * f;
    }
};
const Wavetable saw;

// The mix: a dry stereo bus and two sends, a reverb (mono in) and a ping-pong delay.
struct Mix {
    std::size_t frames;
    std::vector<float> left, right, reverb, delayLeft, delayRight;
    explicit Mix(std::size_t n)
        : frames(n), left(n), right(n), reverb(n), delayLeft(n), delayRight(n) {}

    // Adds one sample at frame i: pan -1 (left) .. 1 (right), equal power.
    void put(std::size_t i, float v, float pan, float reverbSend, float delaySend = 0) {
        if (i >= frames) return;
        float a = static_cast<float>((pan + 1) * 0.25 * 3.141592653589793);
        float l = std::cos(a) * v, r = std::sin(a) * v;
        left[i] += l;
        right[i] += r;
        reverb[i] += v * reverbSend;
        delayLeft[i] += l * delaySend;
        delayRight[i] += r * delaySend;
    }
};

std::size_t frameAt(double t) { return static_cast<std::size_t>(std::llround(t * sampleRate)); }

float onePoleCoefficient(double cutoffHz) {
    return static_cast<float>(1.0 - std::exp(-twoPi * cutoffHz / sampleRate));
}

// ---- Instruments ----------------------------------------------------------------------------

void pad(Mix& mix, double start, double length, int note, float level, float pan) {
    const double attack = 0.6, release = 1.2;
    const std::size_t first = frameAt(start), count = frameAt(length + release);
    const double hz = noteHz(note);
    const double detune[2] = {hz * 0.9965, hz * 1.0035};
    const float lp = onePoleCoefficient(1400.0 + 6.0 * (note - 48) * 20);
    float state = 0;
    double phase[2] = {0.13 * note, 0.71 * note};
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        double env = t < attack ? t / attack
                     : t < length ? 1.0
                                  : std::max(0.0, 1.0 - (t - length) / release);
        float v = saw.at(phase[0]) + saw.at(phase[1]);
        phase[0] += detune[0] / sampleRate;
        phase[1] += detune[1] / sampleRate;
        state += lp * (v - state);
        float out = static_cast<float>(state * env * env) * level;
        mix.put(first + k, out, pan, 0.55f);
    }
}

void bass(Mix& mix, double start, double length, int note, float level) {
    const std::size_t first = frameAt(start), count = frameAt(length + 0.05);
    const double hz = noteHz(note);
    const float lp = onePoleCoefficient(520.0);
    float state = 0;
    double phase = 0;
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.45);
        if (t > length) env *= std::max(0.0, 1.0 - (t - length) / 0.05);
        float v = static_cast<float>(0.8 * std::sin(twoPi * phase) + 0.45 * saw.at(phase));
        phase += hz / sampleRate;
        state += lp * (v - state);
        mix.put(first + k, static_cast<float>(state * env) * level, 0.0f, 0.02f);
    }
}

// Plucked string (Karplus-Strong): the arpeggios.
void pluck(Mix& mix, double start, int note, float level, float pan, std::uint32_t seed) {
    const double hz = noteHz(note);
    const std::size_t period = static_cast<std::size_t>(sampleRate / hz);
    std::vector<float> line(period);
    Noise noise(seed);
    float smooth = 0;
    for (auto& v : line) {  // a softened burst: a rounder attack
        smooth += 0.5f * (noise.next() - smooth);
        v = smooth;
    }
    const std::size_t first = frameAt(start), count = frameAt(1.1);
    std::size_t pos = 0;
    float previous = 0;
    for (std::size_t k = 0; k < count; ++k) {
        float current = line[pos];
        float next = 0.5f * (current + previous) * 0.996f;
        previous = current;
        line[pos] = next;
        pos = (pos + 1) % period;
        double fade = std::min(1.0, (1.1 - static_cast<double>(k) / sampleRate) / 0.1);
        mix.put(first + k, current * level * static_cast<float>(fade), pan, 0.35f, 0.35f);
    }
}

// A soft flute-like lead with delayed vibrato.
void lead(Mix& mix, double start, double length, int note, float level) {
    const double release = 0.25;
    const std::size_t first = frameAt(start), count = frameAt(length + release);
    const double hz = noteHz(note);
    double phase = 0;
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        double env = std::min(1.0, t / 0.04) * (t < length ? 1.0 - 0.25 * std::min(1.0, t / 1.5)
                                                           : 0.75 * std::max(0.0, 1.0 - (t - length) / release));
        double vibrato = 1.0 + 0.004 * std::min(1.0, std::max(0.0, t - 0.25) / 0.3) * std::sin(twoPi * 5.2 * t);
        phase += hz * vibrato / sampleRate;
        double v = std::sin(twoPi * phase) + 0.28 * std::sin(2 * twoPi * phase) + 0.1 * std::sin(3 * twoPi * phase);
        mix.put(first + k, static_cast<float>(v * env) * level, 0.1f, 0.45f, 0.3f);
    }
}

// FM bell.
void bell(Mix& mix, double start, int note, float level, float pan) {
    const std::size_t first = frameAt(start), count = frameAt(3.0);
    const double hz = noteHz(note);
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        double index = 2.2 * std::exp(-t / 0.35);
        double v = std::sin(twoPi * hz * t + index * std::sin(twoPi * hz * 3.5 * t));
        double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.9);
        mix.put(first + k, static_cast<float>(v * env) * level, pan, 0.6f, 0.25f);
    }
}

void kick(Mix& mix, double start, float level) {
    const std::size_t first = frameAt(start), count = frameAt(0.45);
    double phase = 0;
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        double hz = 48.0 + 110.0 * std::exp(-t / 0.035);
        phase += hz / sampleRate;
        double env = std::min(1.0, t / 0.001) * std::exp(-t / 0.16);
        mix.put(first + k, static_cast<float>(std::sin(twoPi * phase) * env) * level, 0.0f, 0.0f);
    }
}

void snare(Mix& mix, double start, float level, std::uint32_t seed) {
    const std::size_t first = frameAt(start), count = frameAt(0.3);
    Noise noise(seed);
    float low = 0, high = 0;
    const float a = onePoleCoefficient(6500.0), b = onePoleCoefficient(900.0);
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        float n = noise.next();
        low += a * (n - low);
        high += b * (low - high);
        double band = (low - high) * std::exp(-t / 0.09);
        double tone = std::sin(twoPi * 185.0 * t) * std::exp(-t / 0.05) * 0.6;
        mix.put(first + k, static_cast<float>(band * 1.4 + tone) * level, -0.1f, 0.3f);
    }
}

// Hi-hat (short) or cymbal (long).
void metal(Mix& mix, double start, double decay, float level, float pan, std::uint32_t seed) {
    const std::size_t first = frameAt(start), count = frameAt(decay * 6);
    Noise noise(seed);
    float low = 0;
    const float a = onePoleCoefficient(7000.0);
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate;
        float n = noise.next();
        low += a * (n - low);
        double env = std::min(1.0, t / 0.0015) * std::exp(-t / decay);
        mix.put(first + k, static_cast<float>((n - low) * env) * level, pan, decay > 0.3 ? 0.4f : 0.1f);
    }
}

// Rising filtered noise leading into a section.
void riser(Mix& mix, double start, double length, float level) {
    const std::size_t first = frameAt(start), count = frameAt(length);
    Noise noise(99);
    float state = 0;
    for (std::size_t k = 0; k < count; ++k) {
        double t = static_cast<double>(k) / sampleRate, x = t / length;
        state += onePoleCoefficient(300.0 + 6000.0 * x * x) * (noise.next() - state);
        mix.put(first + k, static_cast<float>(state * x * x) * level, 0.0f, 0.5f);
    }
}

// The accent: a brass-like chord stab, a low drum and a cymbal at once.
void accent(Mix& mix, double at, const int (&notes)[4], float level, std::uint32_t seed) {
    for (int i = 0; i < 4; ++i) {
        const std::size_t first = frameAt(at), count = frameAt(1.6);
        const double hz = noteHz(notes[i]);
        double phase = 0.25 * i;
        float state = 0;
        for (std::size_t k = 0; k < count; ++k) {
            double t = static_cast<double>(k) / sampleRate;
            double env = std::min(1.0, t / 0.006) * std::exp(-t / 0.4);
            float lp = onePoleCoefficient(800.0 + 5000.0 * std::exp(-t / 0.15));
            phase += hz / sampleRate;
            state += lp * (saw.at(phase) - state);
            mix.put(first + k, static_cast<float>(state * env) * level * 0.5f, -0.45f + 0.3f * i, 0.5f);
        }
    }
    kick(mix, at, level * 1.1f);
    bass(mix, at, 0.6, notes[0] - 12, level * 0.8f);
    metal(mix, at, 0.55, level * 0.35f, 0.3f, seed);
}

// ---- The piece ------------------------------------------------------------------------------

struct Chord {
    int bass;
    int voices[3];
};
constexpr Chord Am{45, {57, 60, 64}}, F{41, {57, 60, 65}}, C{48, {55, 60, 64}},
    G{43, {55, 59, 62}}, Em{40, {55, 59, 64}}, Dm{38, {57, 62, 65}}, E{40, {56, 59, 64}};

const Chord progressionA[4] = {Am, F, C, G};
const Chord progressionB[4] = {F, G, Em, Am};
const Chord progressionC[4] = {Dm, Am, F, E};

struct Note {
    double beats;
    int pitch;  // 0: rest
};
// Four-bar phrases, one bar per chord.
const std::vector<Note> phraseA1 = {{1, 76}, {.5, 74}, {.5, 72}, {1, 71}, {1, 72}, {2, 69},
                                    {1, 72}, {1, 77}, {1.5, 76}, {.5, 74}, {1, 72}, {1, 67},
                                    {2, 71}, {1, 74}, {1, 71}};
const std::vector<Note> phraseA2 = {{1, 72}, {1, 76}, {2, 81}, {1.5, 77}, {.5, 76}, {2, 72},
                                    {1, 79}, {1, 76}, {1, 72}, {1, 76}, {4, 74}};
const std::vector<Note> phraseB = {{1, 81}, {.5, 79}, {.5, 77}, {2, 76}, {1, 74}, {.5, 76},
                                   {.5, 74}, {2, 71}, {1, 71}, {1, 72}, {1, 74}, {1, 76},
                                   {4, 76}};
const std::vector<Note> phraseC = {{2, 74}, {2, 77}, {2, 76}, {2, 72},
                                   {1, 69}, {1, 72}, {2, 77}, {2, 76}, {2, 80}};

enum Part : unsigned {
    Pad = 1, Arp = 2, BassHalf = 4, Bass8 = 8, Hats = 16, Kick = 32, Snare = 64, Lead = 128,
    Bells = 256,
};

struct Section {
    int firstBar, bars;
    const Chord* progression;
    unsigned parts;
    const std::vector<Note>* melody[2];  // alternating phrases
    int transpose;
};

const Section sections[] = {
    {4, 8, progressionA, Pad | Arp | BassHalf | Hats, {nullptr, nullptr}, 0},
    {12, 8, progressionA, Pad | Arp | Bass8 | Hats | Kick, {nullptr, nullptr}, 0},
    {20, 8, progressionA, Pad | Arp | Bass8 | Hats | Kick | Snare | Lead, {&phraseA1, &phraseA2}, 0},
    {28, 8, progressionB, Pad | Arp | Bass8 | Hats | Kick | Snare | Lead, {&phraseB, &phraseB}, 0},
    {36, 16, progressionC, Pad | Bells, {&phraseC, &phraseC}, 0},
    {52, 16, progressionA, Pad | Arp | Bass8 | Hats | Kick | Snare | Lead, {&phraseA1, &phraseA2}, 0},
    {68, 16, progressionB, Pad | Arp | Bass8 | Hats | Kick | Snare | Lead, {&phraseB, &phraseB}, 12},
    {84, 12, progressionA, Pad | Arp | Bass8 | Hats | Kick | Snare | Lead, {&phraseA1, &phraseA2}, 0},
    {96, 4, progressionA, Pad | Bells | BassHalf, {nullptr, nullptr}, 0},
};

void playMelody(Mix& mix, double start, const std::vector<Note>& phrase, int transpose, bool bells) {
    double t = start;
    for (const Note& n : phrase) {
        double length = n.beats * beat;
        if (n.pitch) {
            if (bells)
                bell(mix, t, n.pitch + transpose, 0.16f, 0.2f);
            else
                lead(mix, t, length * 0.92, n.pitch + transpose, transpose ? 0.11f : 0.14f);
        }
        t += length;
    }
}

void playSection(Mix& mix, const Section& s, double end) {
    static const int arpOrder[8] = {0, 1, 2, 3, 2, 1, 3, 1};
    for (int b = 0; b < s.bars; ++b) {
        const double t = (s.firstBar + b) * bar;
        if (t >= end) return;
        const Chord& chord = s.progression[b % 4];
        const bool lastBarOfSection = b == s.bars - 1;
        if (s.parts & Pad)
            for (int v = 0; v < 3; ++v) pad(mix, t, bar, chord.voices[v], 0.055f, -0.5f + 0.5f * v);
        if (s.parts & Arp) {
            const int tones[4] = {chord.voices[0] + 12, chord.voices[1] + 12, chord.voices[2] + 12,
                                  chord.voices[0] + 24};
            for (int i = 0; i < 16; ++i)
                pluck(mix, t + i * beat / 4, tones[arpOrder[i % 8]], i % 4 == 0 ? 0.2f : 0.14f,
                      (i % 2) ? 0.45f : -0.45f, static_cast<std::uint32_t>((s.firstBar + b) * 16 + i));
        }
        if (s.parts & BassHalf)
            for (int i = 0; i < 2; ++i) bass(mix, t + i * 2 * beat, 2 * beat * 0.9, chord.bass, 0.3f);
        if (s.parts & Bass8)
            for (int i = 0; i < 8; ++i)
                bass(mix, t + i * beat / 2, beat / 2 * 0.8, chord.bass + ((i % 4 == 3) ? 12 : 0),
                     i % 2 ? 0.22f : 0.3f);
        if (s.parts & Hats)
            for (int i = 0; i < 8; ++i)
                metal(mix, t + i * beat / 2, 0.035, i % 2 ? 0.11f : 0.05f, 0.35f,
                      static_cast<std::uint32_t>(7000 + (s.firstBar + b) * 8 + i));
        if (s.parts & Kick)
            for (int i = 0; i < 4; ++i) kick(mix, t + i * beat, 0.55f);
        if (s.parts & Snare) {
            snare(mix, t + beat, 0.22f, static_cast<std::uint32_t>(b * 2));
            snare(mix, t + 3 * beat, 0.22f, static_cast<std::uint32_t>(b * 2 + 1));
            if (lastBarOfSection)
                for (int i = 0; i < 4; ++i) snare(mix, t + 3 * beat + i * beat / 4 + beat / 4, 0.08f + 0.04f * i, 500u + i);
        }
        if ((s.parts & (Lead | Bells)) && s.melody[0] && b % 4 == 0)
            playMelody(mix, t, *s.melody[(b / 4) % 2], s.transpose, s.parts & Bells);
        if (s.parts & Bells && !s.melody[0] && b % 2 == 0)
            for (int i = 0; i < 3; ++i) bell(mix, t + i * beat * 1.5, chord.voices[i] + 12, 0.1f, -0.3f + 0.3f * i);
    }
}

void compose(Mix& mix, double end) {
    // Intro: the tonic swells in from silence, with a riser into the first accent.
    for (int v = 0; v < 3; ++v) pad(mix, 0.0, 3.6, Am.voices[v], 0.045f, -0.5f + 0.5f * v);
    bass(mix, 0.0, 3.8, 33, 0.12f);
    riser(mix, 1.0, 3.0, 0.25f);

    // The four accents at 4, 5, 6 and 7 s, climbing: Am, F, G, E.
    const int stabs[4][4] = {{57, 60, 64, 69}, {53, 57, 60, 65}, {55, 59, 62, 67}, {52, 56, 59, 64}};
    for (int i = 0; i < 4; ++i) accent(mix, 4.0 + i, stabs[i], 0.45f + 0.07f * i, 300u + static_cast<unsigned>(i));
    for (int v = 0; v < 3; ++v) pad(mix, 4.0, 3.8, E.voices[v] - 12, 0.03f, -0.5f + 0.5f * v);
    riser(mix, 7.0, 1.0, 0.15f);

    for (const Section& s : sections) playSection(mix, s, end);
    riser(mix, 100.0, 4.0, 0.2f);  // out of the breakdown

    // Ending: the tonic rings out.
    const double last = 100 * bar;
    if (last < end) {
        for (int v = 0; v < 3; ++v) pad(mix, last, 3.5, Am.voices[v], 0.06f, -0.5f + 0.5f * v);
        bass(mix, last, 3.0, 33, 0.25f);
        bell(mix, last, 81, 0.12f, 0.0f);
        metal(mix, last, 0.8, 0.12f, 0.0f, 77);
    }
}

// Freeverb-style reverb on the mono send, into the stereo bus.
void applyReverb(Mix& mix) {
    const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const int allpasses[4] = {556, 441, 341, 225};
    const float feedback = 0.83f, damp = 0.25f, wet = 0.22f;
    for (int side = 0; side < 2; ++side) {
        const int spread = side ? 23 : 0;
        std::vector<std::vector<float>> combBuf, apBuf;
        std::vector<std::size_t> combPos(8, 0), apPos(4, 0);
        std::vector<float> combLow(8, 0);
        for (int c : combs) combBuf.emplace_back(static_cast<std::size_t>(c + spread), 0.0f);
        for (int a : allpasses) apBuf.emplace_back(static_cast<std::size_t>(a + spread), 0.0f);
        std::vector<float>& out = side ? mix.right : mix.left;
        for (std::size_t i = 0; i < mix.frames; ++i) {
            float in = mix.reverb[i] * 0.05f, sum = 0;
            for (int c = 0; c < 8; ++c) {
                auto& buf = combBuf[static_cast<std::size_t>(c)];
                std::size_t& p = combPos[static_cast<std::size_t>(c)];
                float y = buf[p];
                combLow[static_cast<std::size_t>(c)] = y * (1 - damp) + combLow[static_cast<std::size_t>(c)] * damp;
                buf[p] = in + combLow[static_cast<std::size_t>(c)] * feedback;
                p = (p + 1) % buf.size();
                sum += y;
            }
            for (int a = 0; a < 4; ++a) {
                auto& buf = apBuf[static_cast<std::size_t>(a)];
                std::size_t& p = apPos[static_cast<std::size_t>(a)];
                float b = buf[p];
                buf[p] = sum + b * 0.5f;
                sum = b - sum;
                p = (p + 1) % buf.size();
            }
            out[i] += sum * wet * 3.0f;
        }
    }
}

// Ping-pong delay of three eighths.
void applyDelay(Mix& mix) {
    const std::size_t length = frameAt(beat * 0.75);
    std::vector<float> l(length, 0), r(length, 0);
    std::size_t p = 0;
    for (std::size_t i = 0; i < mix.frames; ++i) {
        float outL = l[p], outR = r[p];
        l[p] = mix.delayRight[i] + outR * 0.38f;
        r[p] = mix.delayLeft[i] + outL * 0.38f;
        p = (p + 1) % length;
        mix.left[i] += outL * 0.5f;
        mix.right[i] += outR * 0.5f;
    }
}

bool encode(const Mix& mix, const char* path) {
    FILE* file = std::fopen(path, "wb+");
    if (!file) return false;
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_VBR(lame, vbr_default);
    lame_set_VBR_quality(lame, 2.0f);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);
    id3tag_init(lame);
    id3tag_set_title(lame, "Zolt");
    id3tag_set_artist(lame, "Lumivex");
    if (lame_init_params(lame) < 0) {
        std::fclose(file);
        return false;
    }
    const int chunk = 8192;
    std::vector<unsigned char> out(static_cast<std::size_t>(chunk * 5 / 4 + 7200));
    bool ok = true;
    for (std::size_t i = 0; i < mix.frames && ok; i += chunk) {
        int n = static_cast<int>(std::min<std::size_t>(chunk, mix.frames - i));
        int bytes = lame_encode_buffer_ieee_float(lame, &mix.left[i], &mix.right[i], n, out.data(),
                                                  static_cast<int>(out.size()));
        ok = bytes >= 0 && std::fwrite(out.data(), 1, static_cast<std::size_t>(bytes), file) ==
                               static_cast<std::size_t>(bytes);
    }
    int bytes = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
    ok = ok && bytes >= 0 &&
         std::fwrite(out.data(), 1, static_cast<std::size_t>(bytes), file) == static_cast<std::size_t>(bytes);
    if (ok) lame_mp3_tags_fid(lame, file);  // the frame that lets a decoder drop the padding
    lame_close(lame);
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = fullLength;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else
            output = argv[i];
    }
    if (!output || !(seconds > 0) || seconds > fullLength) {
        std::fprintf(stderr, "usage: soundtrack_gen [--seconds S (0 < S <= %g)] OUTPUT.mp3\n", fullLength);
        return 2;
    }

    Mix mix(frameAt(seconds));
    compose(mix, seconds);
    applyDelay(mix);
    applyReverb(mix);

    // Master: gentle saturation, then to a peak of -1 dBFS; the last moments fade out.
    float peak = 0;
    for (std::size_t i = 0; i < mix.frames; ++i) {
        mix.left[i] = std::tanh(mix.left[i] * 1.2f);
        mix.right[i] = std::tanh(mix.right[i] * 1.2f);
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    }
    const float gain = peak > 0 ? 0.89f / peak : 1.0f;
    const double fade = seconds >= fullLength ? 4.0 : std::min(0.2, seconds / 4);
    for (std::size_t i = 0; i < mix.frames; ++i) {
        double left = seconds - static_cast<double>(i) / sampleRate;
        float g = gain * static_cast<float>(left < fade ? left / fade : 1.0);
        mix.left[i] *= g;
        mix.right[i] *= g;
    }

    if (!encode(mix, output)) {
        std::fprintf(stderr, "soundtrack_gen: can't write %s\n", output);
        return 1;
    }
    return 0;
}
