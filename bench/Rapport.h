// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>

namespace vp::bench {

// Runs the registered benchmarks, their repetitions interleaved so that a ratio compares runs
// made side by side, and returns the median real time of each (in seconds), by name.
std::map<std::string, double> executer(int argc, char** argv, int repetitions = 5);

// "rapport <quoi>: <reference / nous>", how many times faster ours is than the reference.
void afficherRapport(const std::string& quoi, double reference, double nous);
// "mesure <quoi>: <valeur> <unite>".
void afficherMesure(const std::string& quoi, double valeur, const std::string& unite);

}  // namespace vp::bench
