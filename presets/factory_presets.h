#pragma once

#include <map>
#include <string>
#include <vector>

// One factory preset: values in plug-in units (dB, Hz, %, codes) by parameter
// index; a parameter without an entry takes its default when applied.
struct preset
{
    std::string name;
    std::map<int, float> values;
};

struct presets
{
    std::vector<preset> list;
    std::string name;
};

// Built once at load time, read-only afterwards, shared by every instance.
extern const presets sPresets;
extern const std::map<int, float> sBeatFractions;
extern const std::map<int, int> sMidiCC2Param;
