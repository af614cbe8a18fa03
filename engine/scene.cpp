// Scene transforms and the frame drawn from them. See scene.h.
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The shadow frustum seen from light 0: an axis from the light, and the
// window of x / w and y / w it maps onto the shadow map.
struct LightView {
    Vec3 origin, forward, right, up;
    double centreX = 0, centreY = 0, scaleX = 1, scaleY = 1;
    double nearW = 0.01, farW = 1e30;
};

Vec3 ToVec(const float* p) {
    return {p[0], p[1], p[2]};
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

// The light's axis: toward the mean of the casters' origins. Origins, not
// bounds, so that a caster turning in place (the drum) leaves the axis, and
// with it a shadow map drawn from fixed casters, exactly as it was. False
// when nothing casts.
bool LightAxis(const Scene& scene, const Light& light, LightView* view) {
    int count = 0;
    Vec3 sum;
    for (const auto& [id, slot] : scene.entities.byId) {
        const Entity& entity = *slot.object;
        if (entity.renderMode != 4 || !Drawable(entity)) continue;
        sum = sum + TransformPoint(EntityMatrix(scene, entity), Vec3{});
        ++count;
    }
    if (count == 0) return false;
    view->origin = light.position;
    const Vec3 toCentre = sum * (1.0 / count) - light.position;
    const double distance = Length(toCentre);
    view->forward = distance > 0.0 ? toCentre * (1.0 / distance) : Vec3{0, 0, -1};
    const Vec3 hint = std::fabs(view->forward.y) > 0.99 ? Vec3{0, 0, 1} : Vec3{0, 1, 0};
    view->right = Normalize(Cross(view->forward, hint));
    view->up = Cross(view->right, view->forward);
    return true;
}

// Beyond 75 degrees off the axis the map would be all stretch: a caster
// reaching past that (or behind the light) is cut there.
constexpr double kMaxTan = 3.7320508075688772;
constexpr double kBehind = 1e-3; // w below this is at or behind the light

void MeasureExtent(const LightView& view, const Mat4& world, const MeshData& mesh,
                   LightExtent* extent) {
    extent->minW = extent->minX = extent->minY = 1e300;
    extent->maxW = extent->maxX = extent->maxY = -1e300;
    extent->behind = false;
    for (std::size_t i = 0; i + 2 < mesh.positions.size(); i += 3) {
        const Vec3 rel = TransformPoint(world, ToVec(&mesh.positions[i])) - view.origin;
        const double w = Dot(rel, view.forward);
        extent->minW = std::min(extent->minW, w);
        extent->maxW = std::max(extent->maxW, w);
        if (w <= kBehind) {
            extent->behind = true;
            continue;
        }
        const double x = Dot(rel, view.right) / w, y = Dot(rel, view.up) / w;
        extent->minX = std::min(extent->minX, x);
        extent->maxX = std::max(extent->maxX, x);
        extent->minY = std::min(extent->minY, y);
        extent->maxY = std::max(extent->maxY, y);
    }
}

// Which casters matter and which receivers need the map, then the frustum
// around the casters that matter. A caster can darken a receiver only if some
// of it is nearer the light along the axis than the receiver's farthest point;
// so a caster behind everything else (the gauge's drum) is not drawn into the
// map, and a receiver in front of every other caster (the bezel) skips the
// shadow test. False when no caster matters.
bool FitLightView(const Scene& scene, std::vector<LightExtent>* extents, LightView* view) {
    for (LightExtent& c : *extents) {
        c.useful = false;
        if (!c.caster) continue;
        for (const LightExtent& r : *extents)
            if (r.id != c.id && c.minW < r.maxW) c.useful = true;
    }
    bool any = false;
    double minX = kMaxTan, maxX = -kMaxTan, minY = kMaxTan, maxY = -kMaxTan, nearW = 1e300;
    for (LightExtent& r : *extents) {
        r.receives = false;
        for (const LightExtent& c : *extents)
            if (c.useful && c.id != r.id && c.minW < r.maxW) r.receives = true;
        if (!r.useful) continue;
        any = true;
        if (r.behind) {
            minX = minY = -kMaxTan;
            maxX = maxY = kMaxTan;
        } else {
            minX = std::min(minX, r.minX), maxX = std::max(maxX, r.maxX);
            minY = std::min(minY, r.minY), maxY = std::max(maxY, r.maxY);
        }
        nearW = std::min(nearW, r.minW);
    }
    if (!any) return false;
    // 2% margin, a little more than the filter's footprint of a texel.
    const double marginX = (maxX - minX) * 0.02 + 1e-6, marginY = (maxY - minY) * 0.02 + 1e-6;
    minX = std::max(minX - marginX, -kMaxTan), maxX = std::min(maxX + marginX, kMaxTan);
    minY = std::max(minY - marginY, -kMaxTan), maxY = std::min(maxY + marginY, kMaxTan);
    view->centreX = (minX + maxX) * 0.5, view->scaleX = 2.0 / (maxX - minX);
    view->centreY = (minY + maxY) * 0.5, view->scaleY = 2.0 / (maxY - minY);
    view->nearW = std::max(nearW * 0.99, kBehind);
    view->farW = scene.shadows.range > 0.0 ? scene.shadows.range : 1e30;
    return view->nearW < view->farW;
}

void LightCoordinates(const LightView& view, Vec3 world, RasterVertex* v) {
    const Vec3 rel = world - view.origin;
    const double w = Dot(rel, view.forward);
    v->lightW = static_cast<float>(w);
    v->lightX = static_cast<float>(view.scaleX * (Dot(rel, view.right) - view.centreX * w));
    v->lightY = static_cast<float>(view.scaleY * (Dot(rel, view.up) - view.centreY * w));
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

    // Shadow map of kind 2: the render-mode-4 entities that can darken
    // something, seen from light 0.
    LightView lightView;
    std::vector<LightExtent>& extents = scratch->extents;
    extents.clear();
    bool shadows =
        scene.shadows.kind == 2 && light != nullptr && LightAxis(scene, *light, &lightView);
    if (shadows) {
        for (const auto& [id, slot] : scene.entities.byId) {
            const Entity& entity = *slot.object;
            if (!Drawable(entity)) continue;
            LightExtent extent;
            extent.id = id;
            extent.caster = entity.renderMode == 4;
            MeasureExtent(lightView, EntityMatrix(scene, entity), entity.mesh->data, &extent);
            extents.push_back(extent);
        }
        shadows = FitLightView(scene, &extents, &lightView);
    }
    if (shadows) {
        int next = 1;
        std::vector<double>& inputs = scratch->shadowInputsNow;
        inputs = {lightView.origin.x,  lightView.origin.y,  lightView.origin.z, lightView.forward.x,
                  lightView.forward.y, lightView.forward.z, lightView.centreX,  lightView.centreY,
                  lightView.scaleX,    lightView.scaleY,    lightView.nearW,    lightView.farW};
        for (LightExtent& extent : extents) {
            if (!extent.useful) continue;
            extent.index = next < 0xFFFF ? next++ : 0xFFFF;
            const Entity& entity = *scene.entities.Find(extent.id);
            const Mat4 world = EntityMatrix(scene, entity);
            const RasterTexture texture = TextureOf(entity);
            inputs.push_back(extent.id);
            inputs.push_back(
                static_cast<double>(reinterpret_cast<std::uintptr_t>(entity.mesh.get())));
            inputs.push_back(static_cast<double>(reinterpret_cast<std::uintptr_t>(texture.texels)));
            for (const auto& row : world.m)
                inputs.insert(inputs.end(), row, row + 4);
        }
    }
    if (shadows &&
        (shadowMap->size != kShadowMapSize || scratch->shadowInputsNow != scratch->shadowInputs)) {
        scratch->shadowInputs = scratch->shadowInputsNow;
        scratch->shadowKeep.clear();
        if (shadowMap->size != kShadowMapSize) ShadowMapResize(shadowMap, kShadowMapSize);
        ShadowMapClear(shadowMap);
        for (LightExtent& extent : extents) {
            if (!extent.useful) continue;
            const Entity& entity = *scene.entities.Find(extent.id);
            scratch->shadowKeep.push_back(entity.mesh);
            if (entity.material != nullptr) scratch->shadowKeep.push_back(entity.material->texture);
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
                                mesh.indices.size() / 3, TextureOf(entity), extent.index);
        }
    }
    const auto extentOf = [&](int id) -> const LightExtent* {
        for (const LightExtent& extent : extents)
            if (extent.id == id) return &extent;
        return nullptr;
    };

    const double tanHalf = SinDeg(kFieldOfViewDegrees / 2) / CosDeg(kFieldOfViewDegrees / 2);
    const auto viewportOf = [&](const Camera& camera) {
        RasterRect r;
        r.x0 = static_cast<int>(std::floor(camera.viewX / 100.0 * target->width + 0.5));
        r.y0 = static_cast<int>(std::floor(camera.viewY / 100.0 * target->height + 0.5));
        r.x1 = static_cast<int>(
            std::floor((camera.viewX + camera.viewWidth) / 100.0 * target->width + 0.5));
        r.y1 = static_cast<int>(
            std::floor((camera.viewY + camera.viewHeight) / 100.0 * target->height + 0.5));
        r.x0 = std::clamp(r.x0, 0, target->width);
        r.x1 = std::clamp(r.x1, 0, target->width);
        r.y0 = std::clamp(r.y0, 0, target->height);
        r.y1 = std::clamp(r.y1, 0, target->height);
        return r;
    };
    // What no camera covers is black.
    bool covered = false;
    for (const auto& [cameraId, camera] : scene.cameras) {
        const RasterRect r = viewportOf(camera);
        covered =
            covered || (r.x0 == 0 && r.y0 == 0 && r.x1 == target->width && r.y1 == target->height);
    }
    if (!covered) RasterClear(target, RasterRect{0, 0, target->width, target->height}, 0);

    for (const auto& cameraEntry : scene.cameras) {
        // Named, not a structured binding: clang 14 cannot capture those in lambdas.
        const auto cameraId = cameraEntry.first;
        const auto& camera = cameraEntry.second;
        const RasterRect viewport = viewportOf(camera);
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

        // Every draw is prepared first, so that occlusion skipping can be told
        // about the whole frame before any of it is shaded.
        std::vector<std::vector<RasterVertex>>& drawVertices = scratch->drawVertices;
        std::vector<RasterShading>& shadings = scratch->shadings;
        if (drawVertices.size() < order.size()) drawVertices.resize(order.size());
        shadings.assign(order.size(), RasterShading{});
        const std::size_t firstBlended = order.size() - transparent.size();
        for (std::size_t slotIndex = 0; slotIndex < order.size(); ++slotIndex) {
            const int id = order[slotIndex];
            const Entity& entity = *scene.entities.Find(id);
            const Mat4 world = EntityMatrix(scene, entity);
            double determinant = 0.0;
            const Mat4 normalMatrix = NormalMatrix(world, &determinant);
            const double sign = determinant < 0.0 ? -1.0 : 1.0;
            const Mat4 toView = view * world;
            const MeshData& mesh = entity.mesh->data;
            const LightExtent* extent = shadows ? extentOf(id) : nullptr;
            const bool receives = extent != nullptr && extent->receives;
            const std::size_t count = mesh.positions.size() / 3;
            std::vector<RasterVertex>& vertices = drawVertices[slotIndex];
            vertices.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                RasterVertex& v = vertices[i];
                const Vec3 local = ToVec(&mesh.positions[i * 3]);
                const Vec3 eyePoint = TransformPoint(toView, local);
                v.x = static_cast<float>(eyePoint.x * focalX);
                v.y = static_cast<float>(eyePoint.y * focalY);
                v.w = static_cast<float>(-eyePoint.z);
                v.u = mesh.uvs[i * 2];
                v.v = mesh.uvs[i * 2 + 1];
                v.diffuse = 0.0f;
                if (light != nullptr) {
                    const Vec3 worldPoint = TransformPoint(world, local);
                    if (light != nullptr) {
                        const Vec3 normal = Normalize(
                            TransformVector(normalMatrix, ToVec(&mesh.normals[i * 3])) * sign);
                        const double d = Dot(normal, Normalize(light->position - worldPoint));
                        v.diffuse = static_cast<float>(std::max(d, 0.0));
                    }
                    if (receives) LightCoordinates(lightView, worldPoint, &v);
                }
            }
            RasterShading& shading = shadings[slotIndex];
            shading.texture = TextureOf(entity);
            shading.blend = IsTransparent(entity);
            shading.ambient = kAmbient;
            if (light != nullptr)
                for (int c = 0; c < 3; ++c)
                    shading.lightColour[c] = light->colour[c];
            if (receives) {
                shading.shadow = shadowMap;
                for (int c = 0; c < 3; ++c)
                    shading.shadowColour[c] = scene.shadows.colour[c];
                shading.casterIndex = extent->useful ? extent->index : -1;
            }
            shading.frontIsCounterClockwise = determinant >= 0.0;
            if (slotIndex >= firstBlended)
                shading.layer = static_cast<int>(slotIndex - firstBlended) + 1;
        }

        const float nearW = static_cast<float>(kNearPlane), farW = static_cast<float>(kFarPlane);
        const auto meshOf = [&](std::size_t slotIndex) -> const MeshData& {
            return scene.entities.Find(order[slotIndex])->mesh->data;
        };
        // Worth it only when something blended lies in front of what is drawn
        // (the gauge's bezel hides most of the mask and the drum).
        const bool skipHidden =
            !transparent.empty() && transparent.size() <= static_cast<std::size_t>(kRasterMaxLayer);
        const auto layerOf = [&](std::size_t slotIndex) -> RasterLayerRecord* {
            if (slotIndex < firstBlended) return nullptr;
            const Entity& entity = *scene.entities.Find(order[slotIndex]);
            RenderScratch::Layer& layer = scratch->layers[{cameraId, order[slotIndex]}];
            layer.used = true;
            if (entity.material != nullptr) layer.keep = entity.material->texture;
            return &layer.record;
        };
        if (skipHidden) {
            RasterOcclusionBegin(target, viewport);
            for (std::size_t i = 0; i < firstBlended; ++i)
                RasterOcclusionDepth(target, viewport, nearW, farW, drawVertices[i].data(),
                                     drawVertices[i].size(), meshOf(i).indices.data(),
                                     meshOf(i).indices.size() / 3, shadings[i]);
            for (std::size_t i = order.size(); i-- > firstBlended;)
                RasterOcclusionCover(target, viewport, nearW, farW, drawVertices[i].data(),
                                     drawVertices[i].size(), meshOf(i).indices.data(),
                                     meshOf(i).indices.size() / 3, shadings[i], layerOf(i));
        }
        for (std::size_t i = 0; i < order.size(); ++i)
            RasterDrawLayer(target, viewport, nearW, farW, drawVertices[i].data(),
                            drawVertices[i].size(), meshOf(i).indices.data(),
                            meshOf(i).indices.size() / 3, shadings[i], &scratch->counters,
                            layerOf(i));
        RasterOcclusionEnd(target);
    }
    // Records of draws no longer made go (an entity freed, a camera gone).
    for (auto it = scratch->layers.begin(); it != scratch->layers.end();) {
        if (!it->second.used) {
            it = scratch->layers.erase(it);
        } else {
            it->second.used = false;
            ++it;
        }
    }
    frame->resize(static_cast<std::size_t>(target->width) * target->height);
    RasterResolve(*target, frame->data());
}
