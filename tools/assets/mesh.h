// Triangle meshes for the pack's scenes, built in drawing axes (x right, y up,
// z towards the viewer; model units, drawn at a scale of 0.01), with texture
// coordinates chosen per face.
//
// The demo draws models unlit, so light is baked into the texture coordinates:
// rock, wall and ground textures hold their pattern in SHADE_BANDS bands of
// rising brightness, and each face maps into the band of the light it gets.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

struct V3 {
    double x, y, z;
};
V3 operator+(const V3& a, const V3& b);
V3 operator-(const V3& a, const V3& b);
V3 operator*(const V3& a, double k);
double dot(const V3& a, const V3& b);
V3 cross(const V3& a, const V3& b);
double length(const V3& a);
V3 normalised(const V3& a);
// a turned by angle radians about the vertical axis.
V3 turnY(const V3& a, double angle);

struct UV {
    double u, v;
};

// One geometry node: a name, a material and its triangles.
struct MeshNode {
    std::string name;                    // no blanks: the reader keeps only the first word
    int material = -1;                   // index in the scene's material list
    std::array<float, 3> wireColour{{0.6f, 0.6f, 0.6f}};
    std::vector<V3> vertices;            // drawing axes
    std::vector<std::array<int, 3>> faces;
    std::vector<UV> texVertices;
    std::vector<std::array<int, 3>> texFaces;
    V3 pivot{0, 0, 0};                   // the node's position (its transform), drawing axes

    // Adds a triangle, reusing identical vertices and texture vertices.
    void addTriangle(const V3& a, const V3& b, const V3& c, const UV& ta, const UV& tb, const UV& tc);

private:
    std::map<std::array<long long, 3>, int> vertexIndex;
    std::map<std::array<long long, 2>, int> texIndex;
};

// The light a scene bakes into its faces: ambient, one distant light, and
// optionally a point light (a fire) with a falloff distance.
struct Lighting {
    double ambient = 0.3;
    V3 sunDirection{0.3, 0.8, 0.5};  // towards the light; normalised on use
    double sun = 0.7;
    V3 pointPosition{0, 0, 0};
    double point = 0.0;
    double pointRange = 100.0;  // distance at which the point light is half as strong
};

// How one object's faces are textured.
struct Surface {
    double repeat = 64.0;  // model units per repeat of the texture's pattern
    bool banded = true;    // false: plain tiling, no light bands
};

// Builds shaded, planar-mapped faces into a node.
class SurfaceBuilder {
public:
    SurfaceBuilder(MeshNode& node, const Lighting& lighting, const Surface& surface)
        : target(node), light(lighting), look(surface) {}
    // The inside of the object being built: faces are lit as if their normal
    // points away from it, whatever their winding.
    void setInside(const V3& point) { inside = point; }
    void triangle(const V3& a, const V3& b, const V3& c);
    void quad(const V3& a, const V3& b, const V3& c, const V3& d);
    // A quad split into a grid of at most maxEdge-sized cells (corners in order around it).
    void gridQuad(const V3& a, const V3& b, const V3& c, const V3& d, double maxEdge);

private:
    MeshNode& target;
    const Lighting& light;
    const Surface& look;
    V3 inside{0, -1e7, 0};
};

// Brightness 0..1 of a face with the given centre and outward normal.
double faceLight(const Lighting& lighting, const V3& centre, const V3& normal);
// The band of a brightness (0 darkest .. SHADE_BANDS - 1).
int lightBand(double brightness);

// Solids, all closed and lit from outside.
// A box of the given half sizes around centre, turned about the vertical axis.
void addBox(SurfaceBuilder& b, const V3& centre, const V3& half, double turn, double maxEdge);
// A vertical frustum (a cylinder when the radii match) from base upwards.
void addColumn(SurfaceBuilder& b, const V3& base, double bottomRadius, double topRadius, double height, int sides,
               int rings, double turn = 0.0);
// A lumpy boulder: a sphere of the given radii displaced by noise, squashed in y.
void addBoulder(SurfaceBuilder& b, const V3& centre, double radius, double squash, unsigned seed);
// A semicircular arch of square section over the span from centre - axis*r to
// centre + axis*r, standing in the vertical plane through axis; thickness is the
// section's side.
void addArch(SurfaceBuilder& b, const V3& centre, const V3& axis, double radius, double thickness, int segments);
// A torus standing upright in the plane spanned by the vertical and `across`.
void addRing(SurfaceBuilder& b, const V3& centre, const V3& across, double radius, double tube, int segments, int sides);
