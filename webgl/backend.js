// The WebGL 2 side of the GL layer (webgl/backend.h): the context, one
// shader program, the frame's vertex and index buffers, and the textures by
// the layer's GL names. WebGL state is cached here so that a draw sets only
// what differs from the draw before it.

mergeInto(LibraryManager.library, {
  $QuandrixGL: {
    gl: null,
    textures: {},     // GL name -> WebGLTexture
    bound: 0,         // GL name bound to TEXTURE_2D
    mode: -1,         // u_mode last set: 0 colour, 1 textured, 2 sprite
    blend: '',        // "source,destination" or 'off'
    depth: -1,        // comparison, 0 off
    vertexCapacity: 0,
    indexCapacity: 0,
    modeLocation: null,

    vertexShader: '#version 300 es\n' +
      'layout(location = 0) in vec4 a_clip;\n' +
      'layout(location = 1) in vec2 a_st;\n' +
      'layout(location = 2) in vec4 a_colour;\n' +
      'layout(location = 3) in float a_pointSize;\n' +
      'out vec2 v_st;\n' +
      'out vec4 v_colour;\n' +
      'invariant gl_Position;\n' +  // passes over the same vertices must meet exactly (depth LEQUAL)
      'void main() {\n' +
      '  gl_Position = a_clip;\n' +
      '  gl_PointSize = a_pointSize;\n' +
      '  v_st = a_st;\n' +
      '  v_colour = a_colour;\n' +
      '}\n',
    // GL_MODULATE: texel times colour; an RGB texture's alpha is 1.
    fragmentShader: '#version 300 es\n' +
      'precision highp float;\n' +
      'uniform sampler2D u_texture;\n' +
      'uniform int u_mode;\n' +
      'in vec2 v_st;\n' +
      'in vec4 v_colour;\n' +
      'out vec4 o_colour;\n' +
      'void main() {\n' +
      '  if (u_mode == 0) { o_colour = v_colour; return; }\n' +
      '  o_colour = v_colour * texture(u_texture, u_mode == 2 ? gl_PointCoord : v_st);\n' +
      '}\n',

    compile: function(gl, type, source) {
      var shader = gl.createShader(type);
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) {
        console.error('GL layer: shader: ' + gl.getShaderInfoLog(shader));
        return null;
      }
      return shader;
    },

    texture: function(name) {
      var gl = QuandrixGL.gl;
      var texture = QuandrixGL.textures[name];
      if (!texture) texture = QuandrixGL.textures[name] = gl.createTexture();
      if (QuandrixGL.bound !== name) {
        gl.bindTexture(gl.TEXTURE_2D, texture);
        QuandrixGL.bound = name;
      }
      return texture;
    },

    // Grows a buffer to hold `bytes`, then writes them from the start.
    fill: function(target, capacityKey, pointer, bytes) {
      var gl = QuandrixGL.gl;
      if (bytes > QuandrixGL[capacityKey]) {
        QuandrixGL[capacityKey] = Math.max(bytes, 2 * QuandrixGL[capacityKey]);
        gl.bufferData(target, QuandrixGL[capacityKey], gl.STREAM_DRAW);
      }
      gl.bufferSubData(target, 0, HEAPU8, pointer, bytes);
    },
  },

  quandrix_webgl_create__deps: ['$QuandrixGL'],
  quandrix_webgl_create: function(selector) {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas) {
      console.error('GL layer: no canvas ' + UTF8ToString(selector));
      return 0;
    }
    // Opaque, so the page never shows through where the intro clears to
    // alpha 0; no antialiasing, as the native display has none.
    var gl = canvas.getContext('webgl2', {alpha: false, depth: true, stencil: false, antialias: false,
                                          premultipliedAlpha: false, preserveDrawingBuffer: false});
    if (!gl) {
      console.warn('GL layer: this browser gives no WebGL 2 context');
      return 0;
    }
    var vertex = QuandrixGL.compile(gl, gl.VERTEX_SHADER, QuandrixGL.vertexShader);
    var fragment = QuandrixGL.compile(gl, gl.FRAGMENT_SHADER, QuandrixGL.fragmentShader);
    if (!vertex || !fragment) return 0;
    var program = gl.createProgram();
    gl.attachShader(program, vertex);
    gl.attachShader(program, fragment);
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
      console.error('GL layer: program: ' + gl.getProgramInfoLog(program));
      return 0;
    }
    gl.useProgram(program);
    gl.uniform1i(gl.getUniformLocation(program, 'u_texture'), 0);
    QuandrixGL.modeLocation = gl.getUniformLocation(program, 'u_mode');

    gl.bindVertexArray(gl.createVertexArray());
    gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
    gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
    var stride = 44;
    [[0, 4, 0], [1, 2, 16], [2, 4, 24], [3, 1, 40]].forEach(function(a) {
      gl.enableVertexAttribArray(a[0]);
      gl.vertexAttribPointer(a[0], a[1], gl.FLOAT, false, stride, a[2]);
    });
    // GL's starting state where WebGL's differs: no dithering (llvmpipe
    // dithers nothing either), and the depth test decided per draw.
    gl.disable(gl.DITHER);
    gl.disable(gl.DEPTH_TEST);
    gl.disable(gl.BLEND);
    gl.pixelStorei(gl.PACK_ALIGNMENT, 1);

    QuandrixGL.gl = gl;
    QuandrixGL.textures = {};
    QuandrixGL.bound = 0;
    QuandrixGL.mode = -1;
    QuandrixGL.blend = 'off';
    QuandrixGL.depth = 0;
    QuandrixGL.vertexCapacity = 0;
    QuandrixGL.indexCapacity = 0;
    return 1;
  },

  quandrix_webgl_destroy__deps: ['$QuandrixGL'],
  quandrix_webgl_destroy: function() {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    for (var name in QuandrixGL.textures) gl.deleteTexture(QuandrixGL.textures[name]);
    QuandrixGL.textures = {};
    var lose = gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    QuandrixGL.gl = null;
  },

  quandrix_webgl_max_texture_size__deps: ['$QuandrixGL'],
  quandrix_webgl_max_texture_size: function() {
    return QuandrixGL.gl ? QuandrixGL.gl.getParameter(QuandrixGL.gl.MAX_TEXTURE_SIZE) : 0;
  },

  quandrix_webgl_max_point_size__deps: ['$QuandrixGL'],
  quandrix_webgl_max_point_size: function() {
    return QuandrixGL.gl ? QuandrixGL.gl.getParameter(QuandrixGL.gl.ALIASED_POINT_SIZE_RANGE)[1] : 1;
  },

  quandrix_webgl_clear__deps: ['$QuandrixGL'],
  quandrix_webgl_clear: function(mask, red, green, blue, alpha, depth) {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    gl.clearColor(red, green, blue, alpha);
    gl.clearDepth(depth);
    gl.clear(mask);  // GL's and WebGL's buffer bits are the same numbers
  },

  quandrix_webgl_viewport__deps: ['$QuandrixGL'],
  quandrix_webgl_viewport: function(x, y, width, height) {
    if (QuandrixGL.gl) QuandrixGL.gl.viewport(x, y, width, height);
  },

  quandrix_webgl_delete_texture__deps: ['$QuandrixGL'],
  quandrix_webgl_delete_texture: function(name) {
    var gl = QuandrixGL.gl;
    if (!gl || !QuandrixGL.textures[name]) return;
    gl.deleteTexture(QuandrixGL.textures[name]);
    delete QuandrixGL.textures[name];
    if (QuandrixGL.bound === name) QuandrixGL.bound = 0;
  },

  quandrix_webgl_texture_parameter__deps: ['$QuandrixGL'],
  quandrix_webgl_texture_parameter: function(name, pname, value) {
    if (!QuandrixGL.gl) return;
    QuandrixGL.texture(name);
    QuandrixGL.gl.texParameteri(QuandrixGL.gl.TEXTURE_2D, pname, value);
  },

  quandrix_webgl_texture_image__deps: ['$QuandrixGL'],
  quandrix_webgl_texture_image: function(name, internalFormat, width, height, format, alignment, pixels, bytes) {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    QuandrixGL.texture(name);
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, alignment);
    var data = pixels ? HEAPU8.subarray(pixels, pixels + bytes) : null;
    gl.texImage2D(gl.TEXTURE_2D, 0, internalFormat, width, height, 0, format, gl.UNSIGNED_BYTE, data);
  },

  quandrix_webgl_copy_texture_image__deps: ['$QuandrixGL'],
  quandrix_webgl_copy_texture_image: function(name, internalFormat, x, y, width, height) {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    QuandrixGL.texture(name);
    gl.copyTexImage2D(gl.TEXTURE_2D, 0, internalFormat, x, y, width, height, 0);
  },

  quandrix_webgl_upload__deps: ['$QuandrixGL'],
  quandrix_webgl_upload: function(vertices, vertexBytes, indices, indexBytes) {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    QuandrixGL.fill(gl.ARRAY_BUFFER, 'vertexCapacity', vertices, vertexBytes);
    QuandrixGL.fill(gl.ELEMENT_ARRAY_BUFFER, 'indexCapacity', indices, indexBytes);
  },

  quandrix_webgl_draw__deps: ['$QuandrixGL'],
  quandrix_webgl_draw: function(mode, firstIndex, indexCount, texture, sprite, blendSource, blendDestination,
                                depthFunc) {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    var shading = texture === 0 ? 0 : sprite ? 2 : 1;
    if (texture !== 0) QuandrixGL.texture(texture);
    if (shading !== QuandrixGL.mode) {
      gl.uniform1i(QuandrixGL.modeLocation, shading);
      QuandrixGL.mode = shading;
    }
    // Unsigned in C++, a signed 32-bit number here: kBlendOff arrives as -1.
    var blend = (blendSource >>> 0) === 0xFFFFFFFF ? 'off' : blendSource + ',' + blendDestination;
    if (blend !== QuandrixGL.blend) {
      if (blend === 'off') {
        gl.disable(gl.BLEND);
      } else {
        if (QuandrixGL.blend === 'off') gl.enable(gl.BLEND);
        gl.blendFunc(blendSource, blendDestination);
      }
      QuandrixGL.blend = blend;
    }
    if (depthFunc !== QuandrixGL.depth) {
      if (depthFunc === 0) {
        gl.disable(gl.DEPTH_TEST);
      } else {
        if (QuandrixGL.depth === 0) gl.enable(gl.DEPTH_TEST);
        gl.depthFunc(depthFunc);
      }
      QuandrixGL.depth = depthFunc;
    }
    gl.drawElements(mode, indexCount, gl.UNSIGNED_INT, firstIndex * 4);
  },
});
