#pragma once

// The texts the preview shows in message boxes, exactly as the user sees them (UTF-8).

inline constexpr char kSelectInputFile[] = "請選取一個輸入檔案";
inline constexpr char kSelectOutputFile[] = "請選取一個輸出檔案";
// The path is longer than the MAX_PATH - 1 bytes a path may have.
inline constexpr char kPreviewFileNameTooLong[] = "檔案名稱太長";
// The file is missing, or is a folder.
inline constexpr char kPreviewFileMissing[] = "指定的檔案不存在.\r\n\r\n請提供一個有效的媒介檔案名稱.";
inline constexpr char kCannotCreatePreviewGraph[] = "無法建立一個圖形";
inline constexpr char kCannotRenderFile[] = "失敗於成像選取的檔案";
inline constexpr char kCannotPlaceVideoWindow[] = "失敗於設定視窗位置";
inline constexpr char kCannotRunPreviewGraph[] = "無法執行播放圖形";
inline constexpr char kCannotStopPreviewGraph[] = "無法停止圖形";
inline constexpr char kCannotPausePreviewGraph[] = "無法暫停圖形";
