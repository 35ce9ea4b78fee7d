#version 120

uniform vec3 iResolution;
uniform float iGlobalTime;
uniform float iChannelTime[8];
uniform vec3 iChannelResolution[8];
uniform vec4 iMouse;
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform sampler2D iChannel2;
uniform sampler2D iChannel3;
uniform sampler2D iChannel4;
uniform sampler2D iChannel5;
uniform sampler2D iChannel6;
uniform sampler2D iChannel7;
uniform vec4 iDate;
uniform float iSampleRate;
uniform float iMusicEvent;
