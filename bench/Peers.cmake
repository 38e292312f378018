# Peer libraries for side-by-side benchmarks. Each block links a peer into the benchmark programs
# that compare against it, only when the peer is installed (scripts/install-peers.sh).

# Links a found peer into one bench program and defines BRINDLE_HAVE_<peer> there.
function(brindle_bench_peer bench peer)
  if(TARGET ${bench})
    target_link_libraries(${bench} PRIVATE ${ARGN})
    target_compile_definitions(${bench} PRIVATE BRINDLE_HAVE_${peer}=1)
  endif()
endfunction()

find_package(tinyobjloader QUIET)
if(tinyobjloader_FOUND)
  brindle_bench_peer(bench_objreader TINYOBJLOADER tinyobjloader::tinyobjloader)
endif()

find_path(OPENMESH_INCLUDE_DIR OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh)
find_library(OPENMESH_CORE_LIBRARY OpenMeshCore)
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY)
  foreach(bench bench_update bench_builder bench_uvsets bench_groups bench_box bench_edit)
    brindle_bench_peer(${bench} OPENMESH ${OPENMESH_CORE_LIBRARY})
    if(TARGET ${bench})
      target_include_directories(${bench} SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
      target_compile_definitions(${bench} PRIVATE _USE_MATH_DEFINES)
    endif()
  endforeach()
endif()

# earcut is a single header kept beside the project's shared material, not a package.
find_path(EARCUT_INCLUDE_DIR earcut.hpp PATHS ${CMAKE_SOURCE_DIR}/../shared/third_party/earcut NO_DEFAULT_PATH)
if(EARCUT_INCLUDE_DIR AND TARGET bench_trg)
  target_include_directories(bench_trg SYSTEM PRIVATE ${EARCUT_INCLUDE_DIR})
  target_compile_definitions(bench_trg PRIVATE BRINDLE_HAVE_EARCUT=1)
endif()

# OpenSubdiv's Far refiner (Debian libosd-dev) for the subdivision benchmark.
find_path(OPENSUBDIV_INCLUDE_DIR opensubdiv/far/topologyRefiner.h)
find_library(OPENSUBDIV_CPU_LIBRARY osdCPU)
if(OPENSUBDIV_INCLUDE_DIR AND OPENSUBDIV_CPU_LIBRARY)
  brindle_bench_peer(bench_subdiv OPENSUBDIV ${OPENSUBDIV_CPU_LIBRARY})
  if(TARGET bench_subdiv)
    target_include_directories(bench_subdiv SYSTEM PRIVATE ${OPENSUBDIV_INCLUDE_DIR})
  endif()
endif()
