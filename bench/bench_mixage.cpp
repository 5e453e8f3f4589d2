// SPDX-License-Identifier: GPL-3.0-or-later
// Mixing a 300-frame 640 x 480 Motion JPEG "video.avi" with a 26-second sound track into the
// film: our batch runner against the ffmpeg command line doing the same stream copy, both run
// as processes.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Rapport.h"
#include "SonBanc.h"
#include "film/ScriptVcf.h"

extern char** environ;

namespace {

std::string g_dossier;

// Runs a program (found on the PATH) and waits for it; its exit status.
int executer(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int statut = 0;
    waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
}

void nous(benchmark::State& etat) {
    for (auto _ : etat)
        if (executer({VP_VDUB, "/s", g_dossier + "/dub.vcf"}) != 0)
            etat.SkipWithError("vdub a échoué");
}

void ffmpeg(benchmark::State& etat) {
    for (auto _ : etat)
        if (executer({"ffmpeg", "-y", "-loglevel", "error", "-i", g_dossier + "/video.avi", "-i",
                      g_dossier + "/audio.wav", "-map", "0:v", "-map", "1:a", "-c", "copy",
                      g_dossier + "/ffmpeg.avi"}) != 0)
            etat.SkipWithError("ffmpeg a échoué");
}

}  // namespace

int main(int argc, char** argv) {
    char modele[] = "/tmp/bench_mixage_XXXXXX";
    if (!mkdtemp(modele)) return 1;
    g_dossier = modele;
    if (executer({"ffmpeg", "-y", "-loglevel", "error", "-f", "lavfi", "-i",
                  "testsrc=size=640x480:rate=12", "-frames:v", "300", "-c:v", "mjpeg", "-q:v", "6",
                  g_dossier + "/video.avi"}) != 0) {
        std::fputs("ffmpeg n'a pas pu faire la vidéo\n", stderr);
        return 1;
    }
    // Bytes that look random, as noise would.
    vp::bench::ecrireWav(g_dossier + "/audio.wav", 26, [](uint32_t t, int c) {
        const auto octet = [](uint32_t i) { return (i * 2654435761u) >> 24; };
        const uint32_t i = 4 * t + 2 * static_cast<uint32_t>(c);
        return static_cast<int16_t>(octet(i) | (octet(i + 1) << 8));
    });
    std::ofstream(g_dossier + "/dub.vcf", std::ios::binary) << vp::ecrireScriptVcf(
        {g_dossier + "/video.avi", g_dossier + "/audio.wav", g_dossier + "/film.avi"});

    benchmark::RegisterBenchmark("nous", nous)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("ffmpeg", ffmpeg)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    const auto temps = vp::bench::executer(argc, argv, 7);
    const auto a = temps.find("ffmpeg");
    const auto b = temps.find("nous");
    if (a != temps.end() && b != temps.end()) {
        vp::bench::afficherRapport("mixage", a->second, b->second);
        vp::bench::afficherMesure("mixage 300 images et 26 s de son", b->second * 1000, "ms");
    }
    std::filesystem::remove_all(g_dossier);
    return 0;
}
