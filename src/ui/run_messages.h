#pragma once

// The texts of the conversion run and its stream probe, exactly as the user sees them (UTF-8).

// ---- the run

// Start with an empty job list.
inline constexpr char kChooseInputFilesFirst[] = "請點選瀏覽按鈕以選取要轉換的輸入檔案";
// A warning: no compressor was chosen automatically; the run goes on with the list's selection.
inline constexpr char kNoDivXCompressor[] = "找不到 DivX 編解碼, 請安裝它或手動選取編解碼";
// The status line while a job runs, and once every job is done.
inline constexpr char kCompressingToOutput[] = "正壓縮到輸出檔案...";
inline constexpr char kCompressionComplete[] = "壓縮完成.";
// A job that failed after it had started (an input that can't be decoded, a full disk, a
// compressor that gives up): the run ends here.
inline constexpr char kConversionFailed[] = "失敗於轉換選取的檔案";

// ---- the stream probe

inline constexpr char kCannotCreateMediaDet[] = "無法建立 CLSID_MediaDet";
inline constexpr char kProbeCannotOpenFile[] = "失敗於輸出檔案名稱";
inline constexpr char kCannotGetOutputStreams[] = "失敗於取得輸出資料流";
inline constexpr char kCannotSetCurrentStream[] = "失敗於放置目前資料流";
inline constexpr char kCannotGetStreamType[] = "失敗於取得資料流類型";
