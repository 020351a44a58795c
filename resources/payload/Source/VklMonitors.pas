unit VklMonitors;

{ Keeps a restored window on a monitor that exists now: a form saved on a second screen that
  has since been removed comes back on the nearest one. }

{$I Velkora.inc}

interface

uses
  Windows;

function VkKeepOnMonitor(const Bounds: TRect): TRect;

implementation

uses
  MultiMon;

function VkKeepOnMonitor(const Bounds: TRect): TRect;
var
  Monitor: HMONITOR;
  Info: TMonitorInfo;
  Width, Height: Integer;
begin
  Result := Bounds;
  Monitor := MonitorFromRect(@Bounds, MONITOR_DEFAULTTONEAREST);
  Info.cbSize := SizeOf(Info);
  if not GetMonitorInfo(Monitor, @Info) then
    Exit;
  Width := Bounds.Right - Bounds.Left;
  Height := Bounds.Bottom - Bounds.Top;
  with Info.rcWork do
  begin
    if Result.Right > Right then OffsetRect(Result, Right - Result.Right, 0);
    if Result.Bottom > Bottom then OffsetRect(Result, 0, Bottom - Result.Bottom);
    if Result.Left < Left then OffsetRect(Result, Left - Result.Left, 0);
    if Result.Top < Top then OffsetRect(Result, 0, Top - Result.Top);
  end;
  Result.Right := Result.Left + Width;
  Result.Bottom := Result.Top + Height;
end;

end.
