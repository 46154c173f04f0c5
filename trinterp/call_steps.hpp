// The interpolation call in its steps, for front ends that link the core
// in and keep a call's mesh for later queries: the plug-in's call runs them
// in turn on one set of arguments; a front end may prepare the mesh and the
// values once, keep copies of them, and answer other queries over those
// copies in later calls, with the same code and the same answers. Every
// step runs inside a host call, on its calling thread.
#pragma once

#include <cstdint>

#include "call_state.hpp"

namespace trinterp {

// Builds interpolationCall.mesh from checked arguments
// (interpolationCall.arguments) and, for natural weights, judges whether
// the rows are Delaunay. Issues no warning.
void prepareMesh(const kyArray* inputs[]);

// Z's values of the mesh's points, in its numbering, a point's k values
// side by side (kyCalloc memory).
const double* valuesByPoint(const kyArray* z, const CheckedArguments& arguments, const Mesh& mesh);

// The warning of natural weights over rows that are not Delaunay, at most
// once per call (interpolationCall.warned is cleared when a call starts).
void warnIfNotDelaunay(bool natural, const Mesh& mesh);

// The steps before the answers, in order: checks the arguments, prepares
// the mesh, warns of rows that are not Delaunay for natural weights, and
// gives Z's values by point (valuesByPoint).
const double* beginCall(int outputCount, int inputCount, const kyArray* inputs[]);

// outputs[0] = ZI for the queries (XI, YI) over mesh, with valueCount
// values per point in values (as
// valuesByPoint gives them). When ownsMesh, the mesh's blocks and values
// are the call's own kyCalloc blocks and are given back before ZI is made.
void answerCall(kyArray* outputs[], const kyArray* xi, const kyArray* yi, const Mesh& mesh, bool natural, const double* values, std::int32_t valueCount, bool ownsMesh);

}  // namespace trinterp
