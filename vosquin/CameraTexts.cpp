#include "vosquin/CameraTexts.h"

#include <cstdio>

namespace zelmora::vosquin::texts {

namespace {

struct Entry {
    std::uint16_t code;
    const char* text;
};

template <std::size_t N>
const char* find(const Entry (&table)[N], std::uint16_t code) {
    for (const Entry& e : table)
        if (e.code == code) return e.text;
    return nullptr;
}

constexpr Entry kIso[] = {
    {0, "AUTO"},   {40, "6"},     {43, "8"},
    {45, "10"},    {48, "12"},    {51, "16"},
    {53, "20"},    {56, "25"},    {59, "32"},
    {61, "40"},    {64, "50"},    {67, "64"},
    {69, "80"},    {72, "100"},   {75, "125"},
    {77, "160"},   {80, "200"},   {83, "250"},
    {85, "320"},   {88, "400"},   {91, "500"},
    {93, "640"},   {96, "800"},   {99, "1000"},
    {101, "1250"}, {104, "1600"}, {107, "2000"},
    {109, "2500"}, {112, "3200"}, {115, "4000"},
    {117, "5000"}, {120, "6400"}, {0xFFFF, "(Invalid)"},
};

constexpr Entry kModeList[] = {
    {0, "Auto"},
    {1, "Program"},
    {2, "Tv"},
    {3, "Av"},
    {4, "Manual"},
    {101, "Manual"},
    {5, "A_DEP"},
    {6, "M_DEP"},
    {7, "Bulb"},
    {102, "Far Scene"},
    {103, "Fast Shutter"},
    {104, "Slow Shutter"},
    {105, "Night Scene"},
    {106, "Gray Scale"},
    {107, "Sepia"},
    {108, "Portrait"},
    {0xFFFF, "(Invalid)"},
};

constexpr Entry kModeProperty[] = {
    {0, "Auto"},
    {1, "Program"},
    {2, "Tv"},
    {3, "Av"},
    {4, "Manual"},
    {5, "A Dep"},
    {6, "M Dep"},
    {7, "Bulb"},
    {101, "Manual2"},
    {102, "Far Scene"},
    {103, "Fast Shutter"},
    {104, "Slow Shutter"},
    {105, "Night Scene"},
    {106, "Gray Scale"},
    {107, "Mode Sepia"},
    {108, "Portrait"},
    {109, "Spot"},
    {110, "Macro"},
    {111, "BW"},
    {112, "Panfocus"},
    {113, "Vivid"},
    {114, "Neutral"},
};

// Seconds carry two apostrophes, except 2 and 1, which the host's tables write bare.
constexpr Entry kTv[] = {
    {4, "Bulb"},      {16, "30''"},     {19, "25''"},
    {20, "20''"},     {21, "20''"},     {24, "15''"},
    {27, "13''"},     {28, "10''"},     {29, "10''"},
    {32, "8''"},      {35, "6''"},      {36, "6''"},
    {37, "5''"},      {40, "4''"},      {43, "3''2"},
    {44, "3''"},      {45, "2''5"},     {48, "2"},
    {51, "1''6"},     {52, "1.5''"},    {53, "1''3"},
    {56, "1"},        {59, "0''8"},     {60, "0''7"},
    {61, "0''6"},     {64, "0''5"},     {67, "0''4"},
    {68, "0''3"},     {69, "0''3"},     {72, "1/4"},
    {75, "1/5"},      {76, "1/6"},      {77, "1/6"},
    {80, "1/8"},      {83, "1/10"},     {85, "1/13"},
    {88, "1/15"},     {91, "1/20"},     {92, "1/20"},
    {93, "1/25"},     {96, "1/30"},     {99, "1/40"},
    {100, "1/45"},    {101, "1/50"},    {104, "1/60"},
    {107, "1/80"},    {108, "1/90"},    {109, "1/100"},
    {112, "1/125"},   {115, "1/160"},   {116, "1/180"},
    {117, "1/200"},   {120, "1/250"},   {123, "1/320"},
    {124, "1/350"},   {125, "1/400"},   {128, "1/500"},
    {131, "1/640"},   {132, "1/750"},   {133, "1/800"},
    {136, "1/1000"},  {139, "1/1250"},  {140, "1/1500"},
    {141, "1/1600"},  {144, "1/2000"},  {147, "1/2500"},
    {148, "1/3000"},  {149, "1/3200"},  {152, "1/4000"},
    {155, "1/5000"},  {156, "1/6000"},  {157, "1/6400"},
    {160, "1/8000"},  {163, "1/10000"}, {164, "1/12000"},
    {165, "1/12800"}, {168, "1/16000"}, {0xFFFF, "No Lense"},
};

// The semicolons in a few entries are part of the texts.
constexpr Entry kAv[] = {
    {0, "No Lens"},    {8, "1.0"},  {11, "1.1"}, {12, "1.2"}, {13, "1.2"},       {16, "1.4"},
    {19, "1.6"},       {20, "1.8"}, {21, "1.8"}, {24, "2.0"}, {27, "2.2"},       {28, "2.5"},
    {29, "2.5"},       {32, "2.8"}, {35, "3.2"}, {36, "3.5"}, {37, "3.5(1/3);"}, {40, "4.0"},
    {43, "4.5(1/3);"}, {44, "4.5"}, {45, "5.0"}, {48, "5.6"}, {51, "6.3"},       {52, "6.7"},
    {53, "7.1"},       {56, "8"},   {59, "9"},   {60, "9.5"}, {61, "10"},        {64, "11"},
    {67, "13(1/3);"},  {68, "13"},  {69, "14"},  {72, "16"},  {75, "18"},        {76, "19"},
    {77, "20"},        {80, "22"},  {83, "25"},  {84, "27"},  {85, "29"},        {88, "32"},
    {91, "36"},        {92, "38"},  {93, "40"},  {96, "45"},  {99, "51"},        {100, "54"},
    {101, "57"},       {104, "64"}, {107, "72"}, {108, "76"}, {109, "81"},       {112, "91"},
};

constexpr Entry kQuality[] = {
    {1, "Economy"}, {2, "Normal"}, {3, "Fine"}, {4, "Raw"}, {5, "SuperFine"},
};

constexpr Entry kSize[] = {
    {0, "Large"}, {1, "Medium"}, {2, "Small"}, {5, "Medium1"}, {6, "Medium2"},
};

template <std::size_t N>
const char* findSigned(const Entry (&table)[N], std::int32_t code) {
    if (code == -1) return find(table, 0xFFFF);
    if (code < 0 || code >= 0xFFFF) return nullptr;
    return find(table, std::uint16_t(code));
}

std::string orElse(const char* text, const char* otherwise) {
    return text ? text : otherwise;
}

}  // namespace

const char* findIsoText(std::int32_t code) {
    return findSigned(kIso, code);
}

const char* findTvText(std::int32_t code) {
    return findSigned(kTv, code);
}

std::string isoText(std::uint16_t code) {
    return orElse(find(kIso, code), "(Error)");
}

std::string modeListText(std::uint16_t code) {
    return orElse(find(kModeList, code), "(Error)");
}

std::string modePropertyText(std::uint16_t code) {
    return orElse(find(kModeProperty, code), "Invalid");
}

const char* findModeName(std::uint16_t code) {
    return find(kModeProperty, code);
}

std::string tvText(std::uint16_t code) {
    return orElse(find(kTv, code), "(Error);");
}

std::string avText(std::uint16_t code) {
    return orElse(find(kAv, code), "(Error);");
}

std::string qualityListText(std::uint16_t quality) {
    return orElse(find(kQuality, quality), "Error");
}

std::string sizeListText(std::uint16_t size) {
    if (const char* t = find(kSize, size)) return std::string("\\") + t;
    return size == 0xFFFF ? "\\Unknown" : "\\Error";
}

std::string qualityPropertyText(std::uint16_t quality) {
    return orElse(find(kQuality, std::uint16_t(quality & 0xFF)), "Unknown");
}

std::string sizePropertyText(std::uint16_t size) {
    return orElse(find(kSize, std::uint16_t(size & 0xFF)), "Unknown");
}

std::string batteryText(std::uint32_t property15) {
    switch (property15 & 0xF) {
        case 2:
            return "Empty";
        case 3:
            return "Low";
        case 4:
            return "Weak";
        case 6:
            return "Good";
        default:
            return "unknown";
    }
}

std::string hex8(std::uint32_t code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", code);
    return buf;
}

std::string errorText(std::uint32_t code) {
    return "Error:" + std::to_string(std::int32_t(code));
}

}  // namespace zelmora::vosquin::texts
