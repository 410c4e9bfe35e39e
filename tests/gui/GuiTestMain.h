#pragma once

namespace velmora::test {

// True once wx runs on a display; window tests skip otherwise.
bool WxReady();

}  // namespace velmora::test
