// ASE text output of the generator's scenes.
#include "tools/assets/ase_write.h"

#include <cstdarg>
#include <cstdio>

#include "tools/assets/generator.h"

namespace {

// Appends printf-formatted text.
void put(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void put(std::string& out, const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) out.append(line, static_cast<size_t>(n < static_cast<int>(sizeof line) ? n : sizeof line - 1));
}

// Drawing axes to the file's axes; values that would print as -0.0000 print as 0.0000.
double tidy(double v) { return v > -0.00005 && v < 0.00005 ? 0.0 : v; }
V3 fileAxes(const V3& p) { return {tidy(p.x), tidy(-p.z), tidy(p.y)}; }

void putNodeTm(std::string& out, const std::string& name, const V3& position, const char* indent)
{
    const V3 p = fileAxes(position);
    put(out, "%s*NODE_TM {\n", indent);
    put(out, "%s\t*NODE_NAME \"%s\"\n", indent, name.c_str());
    put(out, "%s\t*INHERIT_POS 0 0 0\n%s\t*INHERIT_ROT 0 0 0\n%s\t*INHERIT_SCL 0 0 0\n", indent, indent, indent);
    put(out, "%s\t*TM_ROW0 1.0000\t0.0000\t0.0000\n", indent);
    put(out, "%s\t*TM_ROW1 0.0000\t1.0000\t0.0000\n", indent);
    put(out, "%s\t*TM_ROW2 0.0000\t0.0000\t1.0000\n", indent);
    put(out, "%s\t*TM_ROW3 %.4f\t%.4f\t%.4f\n", indent, p.x, p.y, p.z);
    put(out, "%s\t*TM_POS %.4f\t%.4f\t%.4f\n", indent, p.x, p.y, p.z);
    put(out, "%s\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n%s\t*TM_ROTANGLE 0.0000\n", indent, indent);
    put(out, "%s\t*TM_SCALE 1.0000\t1.0000\t1.0000\n%s\t*TM_SCALEAXIS 0.0000\t0.0000\t0.0000\n", indent, indent);
    put(out, "%s\t*TM_SCALEAXISANG 0.0000\n%s}\n", indent, indent);
}

void putMaterial(std::string& out, int index, const MaterialDesc& m)
{
    put(out, "\t*MATERIAL %d {\n", index);
    put(out, "\t\t*MATERIAL_NAME \"%s\"\n\t\t*MATERIAL_CLASS \"Standard\"\n", m.name.c_str());
    put(out, "\t\t*MATERIAL_AMBIENT %.4f\t%.4f\t%.4f\n", m.diffuse[0] * 0.3, m.diffuse[1] * 0.3, m.diffuse[2] * 0.3);
    put(out, "\t\t*MATERIAL_DIFFUSE %.4f\t%.4f\t%.4f\n", m.diffuse[0], m.diffuse[1], m.diffuse[2]);
    put(out, "\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000\n");
    put(out, "\t\t*MATERIAL_SHINE 0.1000\n\t\t*MATERIAL_SHINESTRENGTH 0.0000\n\t\t*MATERIAL_TRANSPARENCY 0.0000\n");
    put(out, "\t\t*MATERIAL_WIRESIZE 1.0000\n\t\t*MATERIAL_SHADING Blinn\n\t\t*MATERIAL_XP_FALLOFF 0.0000\n");
    put(out, "\t\t*MATERIAL_SELFILLUM 0.0000\n\t\t*MATERIAL_FALLOFF In\n\t\t*MATERIAL_XP_TYPE Filter\n");
    if (!m.bitmap.empty()) {
        put(out, "\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_NAME \"%s_map\"\n\t\t\t*MAP_CLASS \"Bitmap\"\n", m.name.c_str());
        put(out, "\t\t\t*MAP_SUBNO 1\n\t\t\t*MAP_AMOUNT 1.0000\n");
        put(out, "\t\t\t*BITMAP \"%s\"\n\t\t\t*MAP_TYPE Screen\n", m.bitmap.c_str());
        put(out, "\t\t\t*UVW_U_OFFSET 0.0000\n\t\t\t*UVW_V_OFFSET 0.0000\n");
        put(out, "\t\t\t*UVW_U_TILING %.4f\n\t\t\t*UVW_V_TILING %.4f\n", m.uTiling, m.vTiling);
        put(out, "\t\t\t*UVW_ANGLE 0.0000\n\t\t\t*UVW_BLUR 1.0000\n\t\t\t*UVW_BLUR_OFFSET 0.0000\n");
        put(out, "\t\t\t*UVW_NOUSE_AMT 1.0000\n\t\t\t*UVW_NOISE_SIZE 1.0000\n\t\t\t*UVW_NOISE_LEVEL 1\n");
        put(out, "\t\t\t*UVW_NOISE_PHASE 0.0000\n\t\t\t*BITMAP_FILTER Pyramidal\n\t\t}\n");
    }
    put(out, "\t}\n");
}

void putAnimation(std::string& out, const std::string& name, const NodeAnimationDesc& animation)
{
    if (animation.positions.empty() && animation.rotations.empty()) return;
    put(out, "\t*TM_ANIMATION {\n\t\t*NODE_NAME \"%s\"\n", name.c_str());
    if (!animation.positions.empty()) {
        put(out, "\t\t*CONTROL_POS_TRACK {\n");
        for (const PositionSample& s : animation.positions)
            put(out, "\t\t\t*CONTROL_POS_SAMPLE %d\t%.4f\t%.4f\t%.4f\n", s.tick, s.position.x, s.position.y, s.position.z);
        put(out, "\t\t}\n");
    }
    if (!animation.rotations.empty()) {
        put(out, "\t\t*CONTROL_ROT_TRACK {\n");
        for (const RotationSample& s : animation.rotations)
            put(out, "\t\t\t*CONTROL_ROT_SAMPLE %d\t%.4f\t%.4f\t%.4f\t%.4f\n", s.tick, s.axis.x, s.axis.y, s.axis.z,
                s.angle);
        put(out, "\t\t}\n");
    }
    put(out, "\t}\n");
}

bool faceInside(const std::array<int, 3>& face, size_t vertices)
{
    for (int v : face)
        if (v < 0 || static_cast<size_t>(v) >= vertices) return false;
    return true;
}

void putGeometry(std::string& out, const MeshNode& node, const NodeAnimationDesc* animation)
{
    put(out, "*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n", node.name.c_str());
    putNodeTm(out, node.name, node.pivot, "\t");
    put(out, "\t*MESH {\n\t\t*TIMEVALUE 0\n");
    put(out, "\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n", node.vertices.size(), node.faces.size());
    put(out, "\t\t*MESH_VERTEX_LIST {\n");
    for (size_t i = 0; i < node.vertices.size(); ++i) {
        const V3 p = fileAxes(node.vertices[i]);
        put(out, "\t\t\t*MESH_VERTEX %5zu\t%.4f\t%.4f\t%.4f\n", i, p.x, p.y, p.z);
    }
    put(out, "\t\t}\n\t\t*MESH_FACE_LIST {\n");
    for (size_t i = 0; i < node.faces.size(); ++i) {
        const auto& f = node.faces[i];
        put(out, "\t\t\t*MESH_FACE %5zu:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    1\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n",
            i, f[0], f[1], f[2]);
    }
    put(out, "\t\t}\n\t\t*MESH_NUMTVERTEX %zu\n\t\t*MESH_TVERTLIST {\n", node.texVertices.size());
    for (size_t i = 0; i < node.texVertices.size(); ++i)
        put(out, "\t\t\t*MESH_TVERT %5zu\t%.5f\t%.5f\t0.0000\n", i, node.texVertices[i].u, node.texVertices[i].v);
    put(out, "\t\t}\n\t\t*MESH_NUMTVFACES %zu\n\t\t*MESH_TFACELIST {\n", node.texFaces.size());
    for (size_t i = 0; i < node.texFaces.size(); ++i) {
        const auto& t = node.texFaces[i];
        put(out, "\t\t\t*MESH_TFACE %5zu\t%d\t%d\t%d\n", i, t[0], t[1], t[2]);
    }
    put(out, "\t\t}\n");
    // Vertex normals: the mean of the normals of the faces that share the vertex.
    // A face that names a vertex that is not there has no normal.
    std::vector<V3> faceNormals(node.faces.size());
    std::vector<V3> vertexNormals(node.vertices.size(), V3{0, 0, 0});
    for (size_t i = 0; i < node.faces.size(); ++i) {
        const auto& f = node.faces[i];
        if (!faceInside(f, node.vertices.size())) continue;
        faceNormals[i] = normalised(cross(node.vertices[f[1]] - node.vertices[f[0]], node.vertices[f[2]] - node.vertices[f[0]]));
        for (int c = 0; c < 3; ++c) vertexNormals[f[c]] = vertexNormals[f[c]] + faceNormals[i];
    }
    put(out, "\t\t*MESH_NORMALS {\n");
    for (size_t i = 0; i < node.faces.size(); ++i) {
        if (!faceInside(node.faces[i], node.vertices.size())) continue;
        const V3 n = fileAxes(faceNormals[i]);
        put(out, "\t\t\t*MESH_FACENORMAL %zu\t%.4f\t%.4f\t%.4f\n", i, n.x, n.y, n.z);
        for (int c = 0; c < 3; ++c) {
            const int v = node.faces[i][c];
            const V3 vn = fileAxes(normalised(vertexNormals[v]));
            put(out, "\t\t\t\t*MESH_VERTEXNORMAL %d\t%.4f\t%.4f\t%.4f\n", v, vn.x, vn.y, vn.z);
        }
    }
    put(out, "\t\t}\n\t}\n");
    put(out, "\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n");
    put(out, "\t*MATERIAL_REF %d\n", node.material);
    put(out, "\t*WIREFRAME_COLOR %.4f\t%.4f\t%.4f\n", node.wireColour[0], node.wireColour[1], node.wireColour[2]);
    if (animation != nullptr) putAnimation(out, node.name, *animation);
    put(out, "}\n");
}

}  // namespace

std::string aseText(const SceneDesc& scene)
{
    std::string out;
    out.reserve(1 << 22);
    put(out, "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"vantrel-assets\"\n");
    put(out, "*SCENE {\n\t*SCENE_FILENAME \"%s\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n", scene.fileName.c_str());
    put(out, "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n");
    put(out, "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n\t*SCENE_AMBIENT_STATIC 0.1000\t0.0500\t0.0300\n}\n");
    put(out, "*MATERIAL_LIST {\n\t*MATERIAL_COUNT %zu\n", scene.materials.size());
    for (size_t i = 0; i < scene.materials.size(); ++i) putMaterial(out, static_cast<int>(i), scene.materials[i]);
    put(out, "}\n");
    for (size_t n = 0; n < scene.nodes.size(); ++n)
        putGeometry(out, scene.nodes[n], n < scene.animations.size() ? &scene.animations[n] : nullptr);
    for (const LightDesc& light : scene.lights) {
        put(out, "*LIGHTOBJECT {\n\t*NODE_NAME \"%s\"\n\t*LIGHT_TYPE Omni\n", light.name.c_str());
        putNodeTm(out, light.name, light.position, "\t");
        put(out, "\t*LIGHT_SHADOWS Off\n\t*LIGHT_USELIGHT 1\n\t*LIGHT_SPOTSHAPE Circle\n\t*LIGHT_USEGLOBAL 0\n");
        put(out, "\t*LIGHT_ABSMAPBIAS 0\n\t*LIGHT_OVERSHOOT 0\n\t*LIGHT_SETTINGS {\n\t\t*TIMEVALUE 0\n");
        put(out, "\t\t*LIGHT_COLOR %.4f\t%.4f\t%.4f\n", light.colour[0], light.colour[1], light.colour[2]);
        put(out, "\t\t*LIGHT_INTENS %.4f\n\t\t*LIGHT_ASPECT -1.0000\n\t\t*LIGHT_TDIST -1.0000\n", light.intensity);
        put(out, "\t\t*LIGHT_MAPBIAS 1.0000\n\t\t*LIGHT_MAPRANGE 4.0000\n\t\t*LIGHT_MAPSIZE 512\n");
        put(out, "\t\t*LIGHT_RAYBIAS 0.0000\n\t}\n}\n");
    }
    for (const CameraDesc& camera : scene.cameras) {
        put(out, "*CAMERAOBJECT {\n\t*NODE_NAME \"%s\"\n\t*CAMERA_TYPE Free\n", camera.name.c_str());
        putNodeTm(out, camera.name, camera.position, "\t");
        put(out, "\t*CAMERA_SETTINGS {\n\t\t*TIMEVALUE 0\n\t\t*CAMERA_NEAR 1.0000\n\t\t*CAMERA_FAR 100000.0000\n");
        put(out, "\t\t*CAMERA_FOV %.4f\n\t\t*CAMERA_TDIST 100.0000\n\t}\n}\n", camera.fov);
    }
    return out;
}

int writeAse(const std::string& path, const SceneDesc& scene)
{
    const std::string text = aseText(scene);
    return writeFileBytes(path, text.data(), text.size());
}

size_t triangleCount(const SceneDesc& scene)
{
    size_t n = 0;
    for (const MeshNode& node : scene.nodes) n += node.faces.size();
    return n;
}
