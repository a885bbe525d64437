#include "platform/rcsdk/SimCamera.h"

namespace zelmora::simrc::profiles {

namespace {

// Shutter speeds in third stops from 30'' to the fastest speed given.
std::vector<std::uint16_t> tvThirds(std::uint16_t fastest) {
    std::vector<std::uint16_t> v;
    for (std::uint16_t stop = 16; stop <= fastest; stop += 8) {
        v.push_back(stop);
        if (stop + 3 <= fastest) v.push_back(std::uint16_t(stop + 3));
        if (stop + 5 <= fastest) v.push_back(std::uint16_t(stop + 5));
    }
    return v;
}

// A lens of f/2.8 to f/22 in third stops.
std::vector<std::uint16_t> avThirds() {
    std::vector<std::uint16_t> v;
    for (std::uint16_t stop = 32; stop <= 80; stop += 8) {
        v.push_back(stop);
        if (stop < 80) {
            v.push_back(std::uint16_t(stop + 3));
            v.push_back(std::uint16_t(stop + 5));
        }
    }
    return v;
}

std::vector<RCCustomFunction> customFunctions(std::uint32_t type, std::uint32_t count) {
    std::vector<RCCustomFunction> v;
    for (std::uint32_t kind = 1; kind <= count; ++kind) v.push_back({type, kind, 0});
    return v;
}

CameraProfile eos(std::string name, int w, int h) {
    CameraProfile p;
    p.displayName = name;
    p.modelName = std::move(name);
    p.sensorWidth = w;
    p.sensorHeight = h;
    p.tvValues = tvThirds(152);  // 1/4000
    p.avValues = avThirds();
    p.av = 32;
    p.isoValues = {72, 80, 88, 96, 104};  // 100 to 1600
    p.formats = {{3, 0}, {2, 0}, {3, 1}, {2, 1}, {3, 2}, {2, 2}, {4, 0}};
    return p;
}

}  // namespace

CameraProfile eos20D() {
    CameraProfile p = eos("EOS 20D", 3504, 2336);
    p.tvValues = tvThirds(160);  // 1/8000
    p.isoValues.push_back(112);  // 3200
    p.customFunctions = customFunctions(2, 18);
    p.mirrorLockType = 2;
    p.mirrorLockKind = 12;
    return p;
}

CameraProfile eos350D() {
    CameraProfile p = eos("EOS 350D DIGITAL", 3456, 2304);
    p.customFunctions = customFunctions(2, 9);
    p.mirrorLockType = 2;
    p.mirrorLockKind = 7;
    return p;
}

CameraProfile eos350DRebelXT() {
    CameraProfile p = eos350D();
    p.displayName = p.modelName = "EOS 350D DIGITAL REBEL XT";
    return p;
}

CameraProfile eos300D() {
    CameraProfile p = eos("EOS 300D DIGITAL", 3072, 2048);
    p.mirrorLockType = 0;
    p.mirrorLockKind = 0;
    return p;
}

CameraProfile digitalRebel() {
    CameraProfile p = eos300D();
    p.displayName = p.modelName = "EOS DIGITAL REBEL";
    return p;
}

CameraProfile eos10D() {
    CameraProfile p = eos("EOS 10D", 3072, 2048);
    p.customFunctions = customFunctions(1, 17);
    p.mirrorLockType = 1;
    p.mirrorLockKind = 12;
    return p;
}

CameraProfile eosD60() {
    CameraProfile p = eos("EOS D60", 3072, 2048);
    p.isoValues = {72, 80, 88};
    p.customFunctions = customFunctions(1, 15);
    p.mirrorLockType = 1;
    p.mirrorLockKind = 12;
    return p;
}

CameraProfile eos1D() {
    CameraProfile p = eos("EOS-1D", 2464, 1648);
    p.tvValues = tvThirds(168);  // 1/16000
    p.isoValues = {64, 72, 80, 88, 96, 104, 112};
    p.customFunctions = customFunctions(1, 21);
    p.mirrorLockType = 1;
    p.mirrorLockKind = 12;
    return p;
}

CameraProfile eosD30() {
    CameraProfile p = eos("EOS D30", 2160, 1440);
    p.customFunctions = customFunctions(1, 16);
    p.mirrorLockType = 1;
    p.mirrorLockKind = 12;
    return p;
}

CameraProfile powerShotG2() {
    CameraProfile p = eos("PowerShot G2", 2272, 1704);
    p.lens = true;  // a compact has its own lens
    p.avValues = {16, 19, 21, 24, 27, 29, 32, 35, 37, 40, 43, 45, 48, 51, 53, 56};
    p.av = 24;
    p.tvValues = tvThirds(136);  // 1/1000
    p.bulbByTv = false;
    p.formats = {{3, 0}, {2, 0}, {1, 0}, {3, 1}, {3, 2}};
    p.settableModes = {1, 2, 3, 4};
    p.mirrorLockType = 0;
    p.mirrorLockKind = 0;
    return p;
}

std::vector<CameraProfile> all() {
    return {eos20D(), eos350D(), eos350DRebelXT(), eos300D(), digitalRebel(),
            eos10D(), eosD60(),  eos1D(),          eosD30(),  powerShotG2()};
}

}  // namespace zelmora::simrc::profiles
