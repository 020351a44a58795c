unit VklLocks;

{ A critical section, so that a store may be shared between threads. }

{$I Velkora.inc}

interface

uses
  Windows;

type
  TVkLock = class
  private
    FSection: TRTLCriticalSection;
  public
    constructor Create;
    destructor Destroy; override;
    procedure Enter;
    procedure Leave;
  end;

implementation

constructor TVkLock.Create;
begin
  inherited Create;
  InitializeCriticalSection(FSection);
end;

destructor TVkLock.Destroy;
begin
  DeleteCriticalSection(FSection);
  inherited Destroy;
end;

procedure TVkLock.Enter;
begin
  EnterCriticalSection(FSection);
end;

procedure TVkLock.Leave;
begin
  LeaveCriticalSection(FSection);
end;

end.
