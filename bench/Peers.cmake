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
  foreach(bench bench_update bench_builder bench_uvsets bench_groups bench_box bench_edit bench_traversal)
    brindle_bench_peer(${bench} OPENMESH ${OPENMESH_CORE_LIBRARY})
    if(TARGET ${bench})
      target_include_directories(${bench} SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
      target_compile_definitions(${bench} PRIVATE _USE_MATH_DEFINES)
    endif()
  endforeach()
endif()

# earcut is a single header kept beside the project's shared material, not a package: next to the
# checkout, or next to the folder of worktrees a checkout may live in.
find_path(EARCUT_INCLUDE_DIR earcut.hpp
          PATHS ${CMAKE_SOURCE_DIR}/../shared/third_party/earcut ${CMAKE_SOURCE_DIR}/../../shared/third_party/earcut
          NO_DEFAULT_PATH)
if(EARCUT_INCLUDE_DIR AND TARGET bench_trg)
  target_include_directories(bench_trg SYSTEM PRIVATE ${EARCUT_INCLUDE_DIR})
  target_compile_definitions(bench_trg PRIVATE BRINDLE_HAVE_EARCUT=1)
endif()

# The modifier benchmark sets OpenMesh's edge flip and Jacobi-Laplace smoother (its Tools library)
# and CGAL's face reversal (header-only, on a double-precision Surface_mesh) beside its own.
find_library(OPENMESH_TOOLS_LIBRARY OpenMeshTools)
find_path(CGAL_INCLUDE_DIR CGAL/Surface_mesh.h)
if(TARGET bench_modify)
  if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND OPENMESH_TOOLS_LIBRARY)
    brindle_bench_peer(bench_modify OPENMESH ${OPENMESH_TOOLS_LIBRARY} ${OPENMESH_CORE_LIBRARY})
    target_include_directories(bench_modify SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
    target_compile_definitions(bench_modify PRIVATE _USE_MATH_DEFINES)
  endif()
  if(CGAL_INCLUDE_DIR)
    brindle_bench_peer(bench_modify CGAL)
    target_include_directories(bench_modify SYSTEM PRIVATE ${CGAL_INCLUDE_DIR})
  endif()
endif()

# The extrusion benchmark times OpenMesh building the extruded result from scratch.
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND TARGET bench_extrude)
  brindle_bench_peer(bench_extrude OPENMESH ${OPENMESH_CORE_LIBRARY})
  target_include_directories(bench_extrude SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
  target_compile_definitions(bench_extrude PRIVATE _USE_MATH_DEFINES)
endif()

# The poke benchmark times OpenMesh's split(face, point) on the same grids.
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND TARGET bench_poke)
  brindle_bench_peer(bench_poke OPENMESH ${OPENMESH_CORE_LIBRARY})
  target_include_directories(bench_poke SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
  target_compile_definitions(bench_poke PRIVATE _USE_MATH_DEFINES)
endif()

# The face-operation benchmark times OpenMesh's triangulate() and CGAL's triangulate_faces.
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND TARGET bench_faceops)
  brindle_bench_peer(bench_faceops OPENMESH ${OPENMESH_CORE_LIBRARY})
  target_include_directories(bench_faceops SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
  target_compile_definitions(bench_faceops PRIVATE _USE_MATH_DEFINES)
endif()
find_package(CGAL QUIET)
if(CGAL_FOUND AND TARGET bench_faceops)
  brindle_bench_peer(bench_faceops CGAL CGAL::CGAL)
endif()

# CGAL's Surface_mesh and its normal computation are header-only.
find_path(CGAL_SURFACE_MESH_INCLUDE_DIR CGAL/Surface_mesh.h)
if(CGAL_SURFACE_MESH_INCLUDE_DIR)
  foreach(bench bench_update bench_traversal)
    if(TARGET ${bench})
      target_include_directories(${bench} SYSTEM PRIVATE ${CGAL_SURFACE_MESH_INCLUDE_DIR})
      target_compile_definitions(${bench} PRIVATE BRINDLE_HAVE_CGAL=1)
    endif()
  endforeach()
endif()

# Reduction benchmark: meshoptimizer's simplifier and OpenMesh's quadric decimater.
find_path(MESHOPTIMIZER_INCLUDE_DIR meshoptimizer.h)
find_library(MESHOPTIMIZER_LIBRARY meshoptimizer)
if(MESHOPTIMIZER_INCLUDE_DIR AND MESHOPTIMIZER_LIBRARY)
  brindle_bench_peer(bench_reduce MESHOPTIMIZER ${MESHOPTIMIZER_LIBRARY})
endif()
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND OPENMESH_TOOLS_LIBRARY)
  brindle_bench_peer(bench_reduce OPENMESH ${OPENMESH_TOOLS_LIBRARY} ${OPENMESH_CORE_LIBRARY})
  if(TARGET bench_reduce)
    target_include_directories(bench_reduce SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
    target_compile_definitions(bench_reduce PRIVATE _USE_MATH_DEFINES)
  endif()
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

# Ray and render benchmarks: Embree's rtcIntersect1 (Debian libembree-dev) and CGAL's AABB tree.
find_path(EMBREE_INCLUDE_DIR embree3/rtcore.h)
find_library(EMBREE_LIBRARY embree3)
if(EMBREE_INCLUDE_DIR AND EMBREE_LIBRARY)
  foreach(bench bench_rays bench_render)
    brindle_bench_peer(${bench} EMBREE ${EMBREE_LIBRARY})
    if(TARGET ${bench})
      target_include_directories(${bench} SYSTEM PRIVATE ${EMBREE_INCLUDE_DIR})
    endif()
  endforeach()
endif()
if(CGAL_FOUND)
  brindle_bench_peer(bench_rays CGAL CGAL::CGAL)
endif()

# Deleting, collapsing and cutting: OpenMesh's delete_face / collapse and CGAL's split by a plane.
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND TARGET bench_cutops)
  brindle_bench_peer(bench_cutops OPENMESH ${OPENMESH_CORE_LIBRARY})
  target_include_directories(bench_cutops SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
  target_compile_definitions(bench_cutops PRIVATE _USE_MATH_DEFINES)
endif()
if(CGAL_FOUND)
  brindle_bench_peer(bench_cutops CGAL CGAL::CGAL)
endif()

# Welding and sewing: meshoptimizer's vertex remap, CGAL's soup point merge and stitch_borders.
if(MESHOPTIMIZER_INCLUDE_DIR AND MESHOPTIMIZER_LIBRARY)
  brindle_bench_peer(bench_joinops MESHOPTIMIZER ${MESHOPTIMIZER_LIBRARY})
endif()
if(CGAL_FOUND)
  brindle_bench_peer(bench_joinops CGAL CGAL::CGAL)
endif()

# Smoothing benchmark: OpenMesh's CatmullClarkT subdivider (header-only, on the Core library).
if(OPENMESH_INCLUDE_DIR AND OPENMESH_CORE_LIBRARY AND TARGET bench_smooth)
  brindle_bench_peer(bench_smooth OPENMESH ${OPENMESH_CORE_LIBRARY})
  target_include_directories(bench_smooth SYSTEM PRIVATE ${OPENMESH_INCLUDE_DIR})
  target_compile_definitions(bench_smooth PRIVATE _USE_MATH_DEFINES)
endif()

# Mirroring and combining: CGAL reflecting, joining and stitching Surface_meshes.
if(CGAL_FOUND)
  brindle_bench_peer(bench_composite CGAL CGAL::CGAL)
endif()
