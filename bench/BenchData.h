#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalvane {
class TProjectDocument;
struct TExportPlan;
}  // namespace kalvane

namespace kalvane::bench {

// A project opened as the editor opens it, asking nothing (a moved photo
// ends the load); without display copies when `copies` is false.
std::unique_ptr<TProjectDocument> OpenProject(const std::string& path, bool copies = true);

// The photos of the bundled sample project.
std::vector<std::string> SampleFiles();
// 36 camera-like 4000 x 3000 baseline JPEGs made from the samples (enlarged,
// with sensor-like noise), generated once into the build tree.
std::vector<std::string> LargeFiles();
// The same photos with heavy sensor grain, as a phone at high ISO gives.
std::vector<std::string> GrainyFiles();
// 36 photos of exactly 600 x 600, for the render benchmark.
std::vector<std::string> SquareFiles();

// data/NAME/ in the build tree, emptied.
std::string EmptyFolder(const std::string& name);

// data/NAME.vpj: `files` turned a quarter to the left, with small hand-held
// offsets and a trimming box a tenth in from each side.
std::string TurnedProject(const std::string& name, const std::vector<std::string>& files);

// The frames of `project`, all of one size as the shop outputs plan them:
// `width` wide, or the longer side `longSide` when above 0, each frame's
// JPEG file (when one is made) in `frameFolder`.
TExportPlan PlanOneSize(const std::string& project, int width, int longSide,
                        const std::string& frameFolder);

// Times each iteration of `run` as the benchmark's manual time and returns
// the mean seconds. `run` returns false on failure, which marks the
// benchmark as failed.
double TimeEach(benchmark::State& state, const std::function<bool()>& run);
// A shell command timed the same way.
double TimeCommandEach(benchmark::State& state, const std::string& command);

// A shell command running one line of `lines` per process, two at a time
// (the lines are kept in `scriptPath`).
std::string TwoAtATime(const std::string& scriptPath, const std::vector<std::string>& lines);

// Seconds per unit of each named measurement, for the ratio table at the end.
void Record(const std::string& name, double seconds_per_unit);
double Recorded(const std::string& name);

}  // namespace kalvane::bench
