// Synthesises the game's two sound effects as 16-bit mono PCM WAV files:
//   wave01.wav  the goal chime: a rising three-note bell arpeggio
//   wave02.wav  the caught sound: a soft thud under a falling, wavering glide
// Usage: make_sounds [output-directory]   (default: the current directory)
// The output is deterministic, so the committed files can be regenerated
// byte for byte.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
// Peak level of both effects: -3 dBFS, loud enough to be heard over the
// other and far from clipping.
constexpr double kPeak = 0.7079;

using Samples = std::vector<double>;

double Seconds(std::size_t frame) {
    return static_cast<double>(frame) / kRate;
}

// A raised-cosine ramp from 0 to 1 over length seconds.
double Ramp(double t, double length) {
    if (t >= length) {
        return 1.0;
    }
    return t <= 0.0 ? 0.0 : 0.5 - 0.5 * std::cos(kPi * t / length);
}

// Fades the first and last moments to silence so playback neither starts
// nor stops with a click, then scales the whole sound to the peak level.
void Finish(Samples& samples, double fadeIn, double fadeOut) {
    const double length = Seconds(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = Seconds(i);
        samples[i] *= Ramp(t, fadeIn) * Ramp(length - t, fadeOut);
    }
    double peak = 0.0;
    for (double s : samples) {
        peak = std::max(peak, std::fabs(s));
    }
    if (peak > 0.0) {
        for (double& s : samples) {
            s *= kPeak / peak;
        }
    }
}

// One struck bell: inharmonic partials (the modes of a small bar bell), the
// higher ones dying away faster, each doubled by a slightly detuned copy
// for a gentle shimmer.
void AddBell(Samples& out, double start, double pitch, double gain) {
    struct Partial {
        double ratio;
        double amplitude;
        double decay;  // seconds to fall by 1/e
    };
    static const Partial kPartials[] = {
        {1.000, 1.00, 0.30}, {2.756, 0.42, 0.14}, {5.404, 0.20, 0.08}, {8.933, 0.08, 0.05}};
    const auto first = static_cast<std::size_t>(start * kRate);
    for (std::size_t i = first; i < out.size(); ++i) {
        const double t = Seconds(i - first);
        // A 4 ms attack softens the strike without dulling it.
        const double attack = Ramp(t, 0.004);
        double value = 0.0;
        for (const Partial& p : kPartials) {
            const double f = pitch * p.ratio;
            const double envelope = p.amplitude * std::exp(-t / p.decay);
            value += envelope *
                     (std::sin(2 * kPi * f * t) + 0.35 * std::sin(2 * kPi * f * 1.003 * t + 0.7));
        }
        out[i] += gain * attack * value;
    }
}

Samples GoalChime() {
    Samples out(static_cast<std::size_t>(0.62 * kRate), 0.0);
    // C6, E6, G6 struck 70 ms apart: a bright major arpeggio going up, the
    // last note a little louder so the chime ends on top.
    AddBell(out, 0.000, 1046.50, 0.80);
    AddBell(out, 0.070, 1318.51, 0.85);
    AddBell(out, 0.140, 1567.98, 1.00);
    Finish(out, 0.002, 0.040);
    return out;
}

Samples CaughtSound() {
    const double length = 0.70;
    Samples out(static_cast<std::size_t>(length * kRate), 0.0);

    // The glide falls exponentially from 880 Hz to 165 Hz; its vibrato
    // deepens as it falls, like a deflating whistle.
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = Seconds(i);
        const double fall = t / length;
        const double vibrato = 1.0 + (0.01 + 0.035 * fall) * std::sin(2 * kPi * 7.0 * t);
        const double frequency = 880.0 * std::pow(165.0 / 880.0, fall) * vibrato;
        phase += 2 * kPi * frequency / kRate;
        // A few harmonics with falling weight give a round, reedy tone.
        const double tone = std::sin(phase) + 0.30 * std::sin(2 * phase) +
                            0.12 * std::sin(3 * phase) + 0.05 * std::sin(4 * phase);
        const double envelope =
            Ramp(t, 0.015) * (0.85 + 0.15 * std::cos(kPi * fall)) * std::exp(-1.2 * fall);
        out[i] += 0.55 * envelope * tone;
    }

    // The thud: a low sine dropping from 110 Hz to 45 Hz with a quick decay,
    // and a puff of low-passed noise for the impact.
    double thudPhase = 0.0;
    std::uint32_t noiseState = 0x1234567u;
    double noise = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = Seconds(i);
        const double frequency = 45.0 + 65.0 * std::exp(-t / 0.05);
        thudPhase += 2 * kPi * frequency / kRate;
        noiseState = noiseState * 1664525u + 1013904223u;
        const double white = static_cast<double>(noiseState >> 8) / (1u << 24) * 2.0 - 1.0;
        noise += 0.06 * (white - noise);
        out[i] += Ramp(t, 0.003) * (0.9 * std::exp(-t / 0.07) * std::sin(thudPhase) +
                                    1.4 * std::exp(-t / 0.025) * noise);
    }
    Finish(out, 0.002, 0.060);
    return out;
}

void Put16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    Put16(bytes, value & 0xFFFF);
    Put16(bytes, value >> 16);
}

void PutTag(std::vector<std::uint8_t>& bytes, const char* tag) {
    bytes.insert(bytes.end(), tag, tag + 4);
}

bool WriteWav(const std::string& path, const Samples& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> bytes;
    PutTag(bytes, "RIFF");
    Put32(bytes, 36 + dataBytes);
    PutTag(bytes, "WAVE");
    PutTag(bytes, "fmt ");
    Put32(bytes, 16);
    Put16(bytes, 1);  // PCM
    Put16(bytes, 1);  // mono
    Put32(bytes, kRate);
    Put32(bytes, kRate * 2);
    Put16(bytes, 2);
    Put16(bytes, 16);
    PutTag(bytes, "data");
    Put32(bytes, dataBytes);
    for (double s : samples) {
        const long value = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        Put16(bytes, static_cast<std::uint32_t>(static_cast<std::int16_t>(value)) & 0xFFFF);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [output-directory]\n", argv[0]);
        return 2;
    }
    const std::string directory = argc == 2 ? std::string(argv[1]) + "/" : std::string();
    const bool ok = WriteWav(directory + "wave01.wav", GoalChime()) &&
                    WriteWav(directory + "wave02.wav", CaughtSound());
    return ok ? 0 : 1;
}
