# The simulated camera's frame cost: render, JPEG and DNG at full size, and the
# whole release-and-download road through the simulated library.
# Run zelmora_sim_bench by hand in a Release build.
add_executable(zelmora_sim_bench ${CMAKE_CURRENT_LIST_DIR}/SimRenderBench.cpp)
target_link_libraries(zelmora_sim_bench PRIVATE
    zelmora_rcsdk zelmora_sim PkgConfig::TURBOJPEG benchmark::benchmark benchmark::benchmark_main)
