#pragma once
// A refusal or failure whose message already names the file it is about, in the
// user's words; other reader errors are named by the one who opened the file.

#include <stdexcept>
#include <string>

class FileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
