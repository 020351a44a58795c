unit VklNotify;

{ The list of observers that a settings store tells about every changed value. }

{$I Velkora.inc}

interface

uses
  Classes;

type
  TVkChangeEvent = procedure(Sender: TObject; const Section, Ident: string) of object;

  TVkNotifyList = class
  private
    FEvents: array of TVkChangeEvent;
  public
    procedure Add(Event: TVkChangeEvent);
    procedure Remove(Event: TVkChangeEvent);
    procedure Notify(Sender: TObject; const Section, Ident: string);
  end;

implementation

procedure TVkNotifyList.Add(Event: TVkChangeEvent);
begin
  SetLength(FEvents, Length(FEvents) + 1);
  FEvents[High(FEvents)] := Event;
end;

procedure TVkNotifyList.Remove(Event: TVkChangeEvent);
var
  I, J: Integer;
begin
  for I := High(FEvents) downto 0 do
    if (TMethod(FEvents[I]).Code = TMethod(Event).Code) and
      (TMethod(FEvents[I]).Data = TMethod(Event).Data) then
    begin
      for J := I to High(FEvents) - 1 do
        FEvents[J] := FEvents[J + 1];
      SetLength(FEvents, Length(FEvents) - 1);
    end;
end;

procedure TVkNotifyList.Notify(Sender: TObject; const Section, Ident: string);
var
  I: Integer;
begin
  for I := 0 to High(FEvents) do
    FEvents[I](Sender, Section, Ident);
end;

end.
