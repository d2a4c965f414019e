// The dialogue's screen: 80 columns by 28 rows, whatever the terminal or
// window is. The console draws into it and each terminal backend asks for at
// least this much room.
#pragma once

namespace quenlow::console {

inline constexpr int kScreenRows = 28;
inline constexpr int kScreenColumns = 80;

}  // namespace quenlow::console
