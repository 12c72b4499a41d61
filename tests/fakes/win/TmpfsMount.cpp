#include "TmpfsMount.h"

TmpfsMount::TmpfsMount(const std::string& folder, const std::string&)
    : m_folder(folder), m_error("a small disk cannot be made from a test on Windows")
{}

TmpfsMount::~TmpfsMount() = default;
