// SPDX-License-Identifier: GPL-3.0-or-later
#include "Rapport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace vp::bench {

namespace {

class Collecteur : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medianes;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Aggregate &&
                r.aggregate_name == "median")
                medianes[r.run_name.function_name +
                         (r.run_name.args.empty() ? "" : "/" + r.run_name.args)] =
                    r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

std::map<std::string, double> executer(int argc, char** argv, int nombre) {
    std::vector<char*> arguments(argv, argv + argc);
    static std::string texteRepetitions;
    texteRepetitions = "--benchmark_repetitions=" + std::to_string(nombre);
    char* repetitions = texteRepetitions.data();
    static char entrelacees[] = "--benchmark_enable_random_interleaving=true";
    static char agregats[] = "--benchmark_report_aggregates_only=true";
    arguments.insert(arguments.begin() + 1, {repetitions, entrelacees, agregats});
    int n = static_cast<int>(arguments.size());
    benchmark::Initialize(&n, arguments.data());
    Collecteur collecteur;
    benchmark::RunSpecifiedBenchmarks(&collecteur);
    benchmark::Shutdown();
    return collecteur.medianes;
}

void afficherRapport(const std::string& quoi, double reference, double nous) {
    std::printf("rapport %s: %.1f\n", quoi.c_str(), nous > 0 ? reference / nous : 0.0);
    std::fflush(stdout);
}

void afficherMesure(const std::string& quoi, double valeur, const std::string& unite) {
    std::printf("mesure %s: %.3f %s\n", quoi.c_str(), valeur, unite.c_str());
    std::fflush(stdout);
}

}  // namespace vp::bench
