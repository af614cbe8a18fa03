// engine3d_export_names.h - the names of every export of the 3D engine library
// as one X-macro list, so the loader's table, its lookups and the test
// libraries cannot drift apart from engine3d_exports.h.
//
// Contract
// - ENGINE3D_FUNCTIONS(X) expands X(name) once per export, in the order the
//   loader looks them up. Engine3DInterfaceVersion is not in it: the loader
//   resolves and checks it first, on its own.
#pragma once

#define ENGINE3D_FUNCTIONS(X)                                                                      \
    X(InitEngine3D)                                                                                \
    X(Add3DArchive)                                                                                \
    X(CloseScreen)                                                                                 \
    X(OpenScreen)                                                                                  \
    X(AntialiasingMode)                                                                            \
    X(OpenWindow3D)                                                                                \
    X(CreateCamera)                                                                                \
    X(MoveCamera)                                                                                  \
    X(MoveCamera2)                                                                                 \
    X(CameraLookAt)                                                                                \
    X(CameraBackColor)                                                                             \
    X(CreateLight2)                                                                                \
    X(LoadMesh)                                                                                    \
    X(LoadTexture)                                                                                 \
    X(TextureID)                                                                                   \
    X(MeshID)                                                                                      \
    X(MaterialID)                                                                                  \
    X(EntityID)                                                                                    \
    X(CreateMaterial)                                                                              \
    X(CreateEntity)                                                                                \
    X(CreateNode)                                                                                  \
    X(AttachNodeObject)                                                                            \
    X(EntityRenderMode)                                                                            \
    X(MoveEntity)                                                                                  \
    X(MoveNode)                                                                                    \
    X(ScaleEntity)                                                                                 \
    X(RotateEntity2)                                                                               \
    X(RotateNode)                                                                                  \
    X(WorldShadows3)                                                                               \
    X(RenderWorld)                                                                                 \
    X(FlipBuffers)                                                                                 \
    X(Engine3DFrameSize)                                                                           \
    X(Engine3DCopyFrame)                                                                           \
    X(Engine3DShutdown)                                                                            \
    X(Engine3DLastError)
