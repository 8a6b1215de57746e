#pragma once

#include "ClimateView.h"
#include "Rivers.h"
#include "SavedLand.h"

#include <string>
#include <vector>

class LandRadii;
class LandSnapshot;
class Planet;
struct HeightGrid;
struct Image;

// What every file saved from a planet shares: what it says of the planet,
// and the land's water and colours as the savers read them.

// The settings record (SettingsRecord.h) of planet as info says its saved
// land stands (a live land caught part-way: the planes it holds), its saved
// colours showing view: every file saved from it carries it.
std::string settingsRecordOf(const Planet& planet, const MeshInfo& info, ClimateView view);

// What made a planet and how much of it the land holds now: seed, counts, and
// the planes applied so far with whether its generation was stopped.
MeshInfo meshInfoOf(const Planet& planet);

// The same for land, a snapshot of planet's: the planes that land holds.
MeshInfo meshInfoOf(const Planet& planet, const LandSnapshot& land);

// "seed S" for the saving records, with ", erosion N steps" for eroded land.
std::string planetLabel(const Planet& planet);

// The least flow of planet's rivers (riverThreshold) by its --river-area and
// size: every caller that finds its rivers takes it from here.
double riverThresholdOf(const Planet& planet);

// The water of land, a snapshot of planet's, and each welded vertex's share
// of fresh water in it.
LandWater waterOf(const Planet& planet, const LandSnapshot& land);
std::vector<double> freshWaterOf(const Planet& planet, const LandSnapshot& land);

// The colour map of grid as --map writes it: in the heights' colours when
// channels (viewVertexChannels) is empty, else in the view's.
Image colourPictureOf(const HeightGrid& grid, const LandRadii& radii, const std::vector<float>& channels,
                      double seaRadius);
