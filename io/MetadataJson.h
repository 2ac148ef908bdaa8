#pragma once
// SigMF metadata text parsed as JSON with a bound on its nesting, checked while
// it is parsed: copying, printing or comparing a JSON value recurses once per
// level, so a value nested without bound must never come to exist.

#include <nlohmann/json.hpp>

#include <string>

// Containers (objects and arrays) inside each other that metadata may hold; the
// document itself is the first level.
constexpr int maxMetadataDepth = 512;

// text as JSON, keys in the file's order. Throws FileError (a std::runtime_error) ("The
// metadata file \"<name>\" nests deeper than 512 levels") as soon as the parser
// opens the 513th level, and the JSON library's parse_error for a syntax
// error met before that.
nlohmann::ordered_json parseMetadataJson(const std::string& text, const std::string& name);
