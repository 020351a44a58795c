unit VklStreams;

{ Streams to and from setting texts, for settings that hold binary data. }

{$I Velkora.inc}

interface

uses
  Classes;

function VkStreamToText(Stream: TStream): AnsiString;
procedure VkTextToStream(const Text: AnsiString; Stream: TStream);

implementation

uses
  VklBase64;

function VkStreamToText(Stream: TStream): AnsiString;
var
  Data: AnsiString;
begin
  SetLength(Data, Stream.Size - Stream.Position);
  if Length(Data) > 0 then
    Stream.ReadBuffer(Data[1], Length(Data));
  Result := VkEncodeBase64(Data);
end;

procedure VkTextToStream(const Text: AnsiString; Stream: TStream);
var
  Data: AnsiString;
begin
  Data := VkDecodeBase64(Text);
  if Length(Data) > 0 then
    Stream.WriteBuffer(Data[1], Length(Data));
end;

end.
