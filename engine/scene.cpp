// Scene transforms and the frame drawn from them. See scene.h.
#include "scene.h"

#include <algorithm>
#include <cmath>

namespace {

// The shadow frustum seen from light 0.
struct LightView {
    Vec3 origin, forward, right, up;
    double focal = 1.0; // 1 / tan(half angle)
    double nearW = 0.01, farW = 1e30;
};

Vec3 ToVec(const float* p) {
    return {p[0], p[1], p[2]};
}

double MaxAxisScale(const Mat4& m) {
    double best = 0.0;
    for (int c = 0; c < 3; ++c) {
        const Vec3 column{m.m[0][c], m.m[1][c], m.m[2][c]};
        best = std::max(best, Length(column));
    }
    return best;
}

bool IsTransparent(const Entity& entity) {
    return entity.material != nullptr && entity.material->texture != nullptr &&
           !entity.material->texture->opaque;
}

RasterTexture TextureOf(const Entity& entity) {
    RasterTexture texture;
    if (entity.material != nullptr && entity.material->texture != nullptr) {
        const Image& image = *entity.material->texture;
        texture.texels = image.texels.data();
        texture.width = image.width;
        texture.height = image.height;
        texture.opaque = image.opaque;
    }
    return texture;
}

bool Drawable(const Entity& entity) {
    return entity.mesh != nullptr && !entity.mesh->data.indices.empty();
}

// Fits the light's frustum around the casters' bounding spheres (automatic
// extent), or returns false when nothing can cast.
bool FitLightView(const Scene& scene, const Light& light, LightView* view) {
    bool any = false;
    Vec3 centre;
    double radius = 0.0;
    for (const auto& [id, slot] : scene.entities.byId) {
        const Entity& entity = *slot.object;
        if (entity.renderMode != 4 || !Drawable(entity)) continue;
        const Mat4 world = EntityMatrix(scene, entity);
        const Vec3 c = TransformPoint(world, entity.mesh->centre);
        const double r = entity.mesh->radius * MaxAxisScale(world);
        if (!any) {
            centre = c;
            radius = r;
            any = true;
            continue;
        }
        // Smallest sphere around both spheres.
        const double distance = Length(c - centre);
        if (distance + r <= radius) continue;
        if (distance + radius <= r) {
            centre = c;
            radius = r;
            continue;
        }
        const double grown = (distance + radius + r) * 0.5;
        centre = centre + (c - centre) * ((grown - radius) / distance);
        radius = grown;
    }
    if (!any) return false;

    view->origin = light.position;
    const Vec3 toCentre = centre - light.position;
    const double distance = Length(toCentre);
    view->forward = distance > 0.0 ? toCentre * (1.0 / distance) : Vec3{0, 0, -1};
    const Vec3 hint = std::fabs(view->forward.y) > 0.99 ? Vec3{0, 0, 1} : Vec3{0, 1, 0};
    view->right = Normalize(Cross(view->forward, hint));
    view->up = Cross(view->right, view->forward);
    // tan(half angle) of the cone around the sphere, with 5% margin, at most
    // tan(75 degrees) when the light sits inside or next to the casters.
    constexpr double kMaxTan = 3.7320508075688772;
    double tanHalf = kMaxTan;
    if (distance > radius * 1.0001) {
        tanHalf =
            std::min(kMaxTan, 1.05 * radius / std::sqrt(distance * distance - radius * radius));
    }
    tanHalf = std::max(tanHalf, 1e-6);
    view->focal = 1.0 / tanHalf;
    view->nearW = std::max({distance - radius, radius * 1e-3, 1e-3});
    view->farW = scene.shadows.range > 0.0 ? scene.shadows.range : 1e30;
    return view->nearW < view->farW;
}

void LightCoordinates(const LightView& view, Vec3 world, RasterVertex* v) {
    const Vec3 rel = world - view.origin;
    v->lightW = static_cast<float>(Dot(rel, view.forward));
    v->lightX = static_cast<float>(Dot(rel, view.right) * view.focal);
    v->lightY = static_cast<float>(Dot(rel, view.up) * view.focal);
}

const Light* LightZero(const Scene& scene) {
    auto found = scene.lights.find(0);
    return found == scene.lights.end() ? nullptr : &found->second;
}

} // namespace

bool CameraLookAtPoint(Camera* camera, Vec3 target) {
    const Vec3 forward = Normalize(target - camera->position);
    if (Length(forward) == 0.0) return false;
    Vec3 right = Cross(forward, Vec3{0, 1, 0});
    if (Length(right) < 1e-9) {
        // Straight up or down: keep the heading the camera had.
        right = camera->right - forward * Dot(camera->right, forward);
        if (Length(right) < 1e-9) right = Vec3{1, 0, 0};
    }
    right = Normalize(right);
    camera->right = right;
    camera->up = Cross(right, forward);
    camera->back = forward * -1.0;
    return true;
}

Mat4 NodeMatrix(const Node& node) {
    return Translation(node.position) * EulerToMatrix(node.angles.x, node.angles.y, node.angles.z);
}

Mat4 EntityMatrix(const Scene& scene, const Entity& entity) {
    const Mat4 own = Translation(entity.position) *
                     EulerToMatrix(entity.angles.x, entity.angles.y, entity.angles.z) *
                     Scaling(entity.scale);
    if (entity.attached) {
        auto node = scene.nodes.find(entity.node);
        if (node != scene.nodes.end()) return NodeMatrix(node->second) * own;
    }
    return own;
}

void MeshBounds(MeshResource* mesh) {
    const std::vector<float>& p = mesh->data.positions;
    if (p.empty()) {
        mesh->centre = Vec3{};
        mesh->radius = 0.0;
        return;
    }
    Vec3 lo = ToVec(&p[0]), hi = lo;
    for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
        lo = {std::min(lo.x, double{p[i]}), std::min(lo.y, double{p[i + 1]}),
              std::min(lo.z, double{p[i + 2]})};
        hi = {std::max(hi.x, double{p[i]}), std::max(hi.y, double{p[i + 1]}),
              std::max(hi.z, double{p[i + 2]})};
    }
    mesh->centre = (lo + hi) * 0.5;
    double radius = 0.0;
    for (std::size_t i = 0; i + 2 < p.size(); i += 3)
        radius = std::max(radius, Length(ToVec(&p[i]) - mesh->centre));
    mesh->radius = radius;
}

void RenderScene(const Scene& scene, RasterTarget* target, ShadowMap* shadowMap,
                 RenderScratch* scratch, std::vector<std::uint32_t>* frame) {
    const Light* light = LightZero(scene);

    // Shadow map of kind 2: every render-mode-4 entity, seen from light 0.
    LightView lightView;
    const bool shadows =
        scene.shadows.kind == 2 && light != nullptr && FitLightView(scene, *light, &lightView);
    std::map<int, int>& casterIndex = scratch->casterIndex;
    casterIndex.clear();
    if (shadows) {
        if (shadowMap->size != kShadowMapSize) ShadowMapResize(shadowMap, kShadowMapSize);
        ShadowMapClear(shadowMap);
        int next = 1;
        for (const auto& [id, slot] : scene.entities.byId) {
            const Entity& entity = *slot.object;
            if (entity.renderMode != 4 || !Drawable(entity)) continue;
            const int index = next < 0xFFFF ? next++ : 0xFFFF;
            casterIndex[id] = index;
            const Mat4 world = EntityMatrix(scene, entity);
            const MeshData& mesh = entity.mesh->data;
            const std::size_t count = mesh.positions.size() / 3;
            scratch->vertices.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                RasterVertex& v = scratch->vertices[i];
                LightCoordinates(lightView, TransformPoint(world, ToVec(&mesh.positions[i * 3])),
                                 &v);
                v.u = mesh.uvs[i * 2];
                v.v = mesh.uvs[i * 2 + 1];
            }
            ShadowDrawTriangles(shadowMap, static_cast<float>(lightView.nearW),
                                static_cast<float>(std::min(lightView.farW, 3e38)),
                                scratch->vertices.data(), count, mesh.indices.data(),
                                mesh.indices.size() / 3, TextureOf(entity), index);
        }
    }

    const double tanHalf = SinDeg(kFieldOfViewDegrees / 2) / CosDeg(kFieldOfViewDegrees / 2);
    for (const auto& [cameraId, camera] : scene.cameras) {
        RasterRect viewport;
        viewport.x0 = static_cast<int>(std::floor(camera.viewX / 100.0 * target->width + 0.5));
        viewport.y0 = static_cast<int>(std::floor(camera.viewY / 100.0 * target->height + 0.5));
        viewport.x1 = static_cast<int>(
            std::floor((camera.viewX + camera.viewWidth) / 100.0 * target->width + 0.5));
        viewport.y1 = static_cast<int>(
            std::floor((camera.viewY + camera.viewHeight) / 100.0 * target->height + 0.5));
        viewport.x0 = std::clamp(viewport.x0, 0, target->width);
        viewport.x1 = std::clamp(viewport.x1, 0, target->width);
        viewport.y0 = std::clamp(viewport.y0, 0, target->height);
        viewport.y1 = std::clamp(viewport.y1, 0, target->height);
        if (viewport.x0 >= viewport.x1 || viewport.y0 >= viewport.y1) continue;
        const std::uint32_t back = camera.background;
        RasterClear(target, viewport,
                    ((back & 0xFFu) << 16) | (back & 0xFF00u) | ((back >> 16) & 0xFFu));

        Mat4 eye;
        eye.m[0][0] = camera.right.x, eye.m[0][1] = camera.up.x, eye.m[0][2] = camera.back.x;
        eye.m[1][0] = camera.right.y, eye.m[1][1] = camera.up.y, eye.m[1][2] = camera.back.y;
        eye.m[2][0] = camera.right.z, eye.m[2][1] = camera.up.z, eye.m[2][2] = camera.back.z;
        eye.m[0][3] = camera.position.x, eye.m[1][3] = camera.position.y,
        eye.m[2][3] = camera.position.z;
        const Mat4 view = RigidInverse(eye);
        const double aspect = static_cast<double>(viewport.x1 - viewport.x0) /
                              static_cast<double>(viewport.y1 - viewport.y0);
        const double focalY = 1.0 / tanHalf, focalX = focalY / aspect;

        // Opaque entities in id order, then the transparent ones from the
        // farthest origin to the nearest (ties in id order).
        std::vector<int>& order = scratch->order;
        order.clear();
        std::vector<std::pair<double, int>>& transparent = scratch->transparent;
        transparent.clear();
        for (const auto& [id, slot] : scene.entities.byId) {
            const Entity& entity = *slot.object;
            if (!Drawable(entity)) continue;
            if (!IsTransparent(entity)) {
                order.push_back(id);
            } else {
                const Vec3 origin = TransformPoint(view * EntityMatrix(scene, entity), Vec3{});
                transparent.emplace_back(origin.z, id); // more negative = farther
            }
        }
        std::stable_sort(transparent.begin(), transparent.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& entry : transparent)
            order.push_back(entry.second);

        for (int id : order) {
            const Entity& entity = *scene.entities.Find(id);
            const Mat4 world = EntityMatrix(scene, entity);
            double determinant = 0.0;
            const Mat4 normalMatrix = NormalMatrix(world, &determinant);
            const double sign = determinant < 0.0 ? -1.0 : 1.0;
            const Mat4 toView = view * world;
            const MeshData& mesh = entity.mesh->data;
            const std::size_t count = mesh.positions.size() / 3;
            scratch->vertices.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                RasterVertex& v = scratch->vertices[i];
                const Vec3 local = ToVec(&mesh.positions[i * 3]);
                const Vec3 eyePoint = TransformPoint(toView, local);
                v.x = static_cast<float>(eyePoint.x * focalX);
                v.y = static_cast<float>(eyePoint.y * focalY);
                v.w = static_cast<float>(-eyePoint.z);
                v.u = mesh.uvs[i * 2];
                v.v = mesh.uvs[i * 2 + 1];
                v.diffuseFront = v.diffuseBack = 0.0f;
                if (light != nullptr || shadows) {
                    const Vec3 worldPoint = TransformPoint(world, local);
                    if (light != nullptr) {
                        const Vec3 normal = Normalize(
                            TransformVector(normalMatrix, ToVec(&mesh.normals[i * 3])) * sign);
                        const double d = Dot(normal, Normalize(light->position - worldPoint));
                        v.diffuseFront = static_cast<float>(std::max(d, 0.0));
                        v.diffuseBack = static_cast<float>(std::max(-d, 0.0));
                    }
                    if (shadows) LightCoordinates(lightView, worldPoint, &v);
                }
            }
            RasterShading shading;
            shading.texture = TextureOf(entity);
            shading.blend = IsTransparent(entity);
            shading.ambient = kAmbient;
            if (light != nullptr)
                for (int c = 0; c < 3; ++c)
                    shading.lightColour[c] = light->colour[c];
            if (shadows) {
                shading.shadow = shadowMap;
                for (int c = 0; c < 3; ++c)
                    shading.shadowColour[c] = scene.shadows.colour[c];
                auto own = casterIndex.find(id);
                shading.casterIndex = own == casterIndex.end() ? -1 : own->second;
            }
            shading.frontIsCounterClockwise = determinant >= 0.0;
            RasterDrawTriangles(target, viewport, static_cast<float>(kNearPlane),
                                static_cast<float>(kFarPlane), scratch->vertices.data(), count,
                                mesh.indices.data(), mesh.indices.size() / 3, shading,
                                &scratch->counters);
        }
    }
    frame->resize(static_cast<std::size_t>(target->width) * target->height);
    RasterResolve(*target, frame->data());
}
