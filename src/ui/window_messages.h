#pragma once

// The texts the windows show in message boxes, exactly as the user sees them (UTF-8).

// The transparent-buttons option was switched on; it takes effect at the next start.
inline constexpr char kRestartToSeeResult[] = "重新啟動 tessarel 觀看結果";
