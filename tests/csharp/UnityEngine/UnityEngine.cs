// A stand-in for the parts of Unity's engine API that the Corvan Velo package uses, written from
// Unity's scripting reference with its namespaces and signatures, so that the package's
// Unity-only code compiles here and its tests run against it. UnityApiStandIn.Engine plays the
// engine's part: frames, scenes, quitting, play mode. Never shipped.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Threading;

namespace UnityEngine
{
    [Flags]
    public enum HideFlags
    {
        None = 0,
        HideInHierarchy = 1,
        HideInInspector = 2,
        DontSaveInEditor = 4,
        NotEditable = 8,
        DontSaveInBuild = 16,
        DontUnloadUnusedAsset = 32,
        DontSave = 52,
        HideAndDontSave = 61,
    }

    public class Object
    {
        internal bool destroyed;
        internal bool keptAcrossScenes;

        public string name { get; set; }

        public HideFlags hideFlags { get; set; }

        public static void DontDestroyOnLoad(Object target)
        {
            target.keptAcrossScenes = true;
        }

        public static void Destroy(Object obj)
        {
            UnityApiStandIn.Engine.Destroy(obj);
        }

        public static void DestroyImmediate(Object obj)
        {
            UnityApiStandIn.Engine.Destroy(obj);
        }

        // As in Unity: a destroyed object compares equal to null.
        public static implicit operator bool(Object exists)
        {
            return !ReferenceEquals(exists, null) && !exists.destroyed;
        }
    }

    public sealed class GameObject : Object
    {
        internal readonly List<Component> components = new List<Component>();

        public GameObject(string name)
        {
            this.name = name;
            UnityApiStandIn.Engine.objects.Add(this);
        }

        public T AddComponent<T>()
            where T : Component
        {
            var component = (T)Activator.CreateInstance(typeof(T), true);
            component.gameObject = this;
            components.Add(component);
            UnityApiStandIn.Engine.SendMessage(component, "OnEnable");
            return component;
        }

        public T GetComponent<T>()
            where T : Component
        {
            return components.OfType<T>().FirstOrDefault();
        }
    }

    public class Component : Object
    {
        public GameObject gameObject { get; internal set; }
    }

    public class Behaviour : Component
    {
        private bool isEnabled = true;

        // As in Unity: enabling and disabling call OnEnable and OnDisable.
        public bool enabled
        {
            get {
                return isEnabled;
            }
            set {
                if (isEnabled != value)
                {
                    isEnabled = value;
                    UnityApiStandIn.Engine.SendMessage(this, value ? "OnEnable" : "OnDisable");
                }
            }
        }
    }

    public class MonoBehaviour : Behaviour
    {
    }

    public enum RuntimePlatform
    {
        OSXEditor = 0,
        OSXPlayer = 1,
        WindowsPlayer = 2,
        WindowsEditor = 7,
        IPhonePlayer = 8,
        Android = 11,
        LinuxPlayer = 13,
        LinuxEditor = 16,
        WebGLPlayer = 17,
        LinuxServer = 43,
        WindowsServer = 44,
        OSXServer = 45,
    }

    public static class Application
    {
        public static event Action quitting;

        public static bool isPlaying { get; internal set; }

        // The editor of the machine the tests run on, unless a test says otherwise.
        internal static readonly RuntimePlatform hostEditor =
            RuntimeInformation.IsOSPlatform(OSPlatform.Windows) ? RuntimePlatform.WindowsEditor
                                                                : RuntimePlatform.LinuxEditor;

        public static RuntimePlatform platform { get; internal set; } = hostEditor;
        /// <summary>The project's Assets folder, in the project folder the tests chose.</summary>
        public static string dataPath => UnityApiStandIn.Engine.ProjectFolder + "/Assets";

        internal static void Quit()
        {
            quitting?.Invoke();
        }
    }

    public class ScriptableObject : Object
    {
        public static T CreateInstance<T>()
            where T : ScriptableObject
        {
            return (T)Activator.CreateInstance(typeof(T), true);
        }
    }

    [AttributeUsage(AttributeTargets.Field)]
    public sealed class SerializeField : Attribute
    {
    }

    public struct Vector2
    {
        public float x;
        public float y;

        public Vector2(float x, float y)
        {
            this.x = x;
            this.y = y;
        }
    }

    public sealed class GUIContent
    {
        public GUIContent(string text)
        {
            this.text = text;
        }

        public string text { get; set; }
    }

    public class GUIStyle
    {
        public bool wordWrap { get; set; }

        public bool richText { get; set; }
    }

    public sealed class GUILayoutOption
    {
    }

    /// <summary>Immediate-mode layout: nothing is drawn here, and no button is ever pressed.
    /// </summary>
    public static class GUILayout
    {
        public static bool Button(string text, params GUILayoutOption[] options)
        {
            return false;
        }

        public static bool Toggle(bool value, string text, params GUILayoutOption[] options)
        {
            return value;
        }

        public static void Label(string text, params GUILayoutOption[] options)
        {
        }

        public static void Label(string text, GUIStyle style, params GUILayoutOption[] options)
        {
        }

        public static void FlexibleSpace()
        {
        }

        public static GUILayoutOption Width(float width)
        {
            return new GUILayoutOption();
        }

        public static GUILayoutOption ExpandWidth(bool expand)
        {
            return new GUILayoutOption();
        }
    }

    public static class Time
    {
        public static float unscaledTime { get; internal set; }

        public static float unscaledDeltaTime { get; internal set; }

        public static int frameCount { get; internal set; }
    }

    public static class Debug
    {
        public static void Log(object message)
        {
            UnityApiStandIn.Engine.log.Add(message);
        }

        public static void LogWarning(object message)
        {
            UnityApiStandIn.Engine.log.Add(message);
        }

        public static void LogError(object message)
        {
            UnityApiStandIn.Engine.log.Add(message);
        }

        public static void LogException(Exception exception)
        {
            UnityApiStandIn.Engine.log.Add(exception);
        }
    }

    public enum RuntimeInitializeLoadType
    {
        AfterSceneLoad = 0,
        BeforeSceneLoad = 1,
        AfterAssembliesLoaded = 2,
        BeforeSplashScreen = 3,
        SubsystemRegistration = 4,
    }

    [AttributeUsage(AttributeTargets.Method, AllowMultiple = false)]
    public class RuntimeInitializeOnLoadMethodAttribute : Scripting.PreserveAttribute
    {
        public RuntimeInitializeOnLoadMethodAttribute()
        {
            loadType = RuntimeInitializeLoadType.AfterSceneLoad;
        }

        public RuntimeInitializeOnLoadMethodAttribute(RuntimeInitializeLoadType loadType)
        {
            this.loadType = loadType;
        }

        public RuntimeInitializeLoadType loadType { get; private set; }
    }
}

namespace UnityEngine.Scripting
{
    /// <summary>Keeps what it marks from code stripping.</summary>
    [AttributeUsage(AttributeTargets.Assembly | AttributeTargets.Class | AttributeTargets.Struct |
                        AttributeTargets.Enum | AttributeTargets.Constructor |
                        AttributeTargets.Method | AttributeTargets.Property |
                        AttributeTargets.Field | AttributeTargets.Event |
                        AttributeTargets.Interface | AttributeTargets.Delegate,
                    Inherited = false)]
    public class PreserveAttribute : Attribute
    {
    }
}

namespace AOT
{
    /// <summary>Marks a static method that native code calls through a delegate of the given
    /// type; IL2CPP makes a native entry point for it.</summary>
    [AttributeUsage(AttributeTargets.Method)]
    public class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type type)
        {
        }
    }
}

namespace UnityApiStandIn
{
    using UnityEngine;

    /// <summary>What the engine does, on the tests' command.</summary>
    public static class Engine
    {
        internal static readonly List<GameObject> objects = new List<GameObject>();

        /// <summary>The Unity project's folder: ProjectSettings/ and Assets/ are in it.</summary>
        public static string ProjectFolder { get; set; } =
            System.IO.Path.Combine(System.IO.Path.GetTempPath(), "velo-unity-project");
        internal static readonly List<object> log = new List<object>();

        /// <summary>The live game objects.</summary>
        public static IReadOnlyList<GameObject> GameObjects => objects.Where(o => o).ToList();

        /// <summary>What was logged through Debug, messages and exceptions.</summary>
        public static IReadOnlyList<object> Log => log;

        public static bool IsKeptAcrossScenes(Object target)
        {
            return target.keptAcrossScenes;
        }

        /// <summary>Plays or stops; the calling thread is the engine's main thread, with the
        /// engine's synchronization context, as Unity's main thread has in both modes.</summary>
        public static void SetPlaying(bool playing)
        {
            Application.isPlaying = playing;
            SynchronizationContext.SetSynchronizationContext(MainThread);
        }

        /// <summary>The platform the game runs on, as Application.platform reports it.</summary>
        public static void SetPlatform(RuntimePlatform platform)
        {
            Application.platform = platform;
        }

        /// <summary>One frame, `seconds` after the one before: Update on every enabled
        /// MonoBehaviour, as the engine calls it, then what was posted to the main thread's
        /// context before the frame began.</summary>
        public static void Frame(float seconds = 1f / 60)
        {
            Time.unscaledDeltaTime = seconds;
            Time.unscaledTime += seconds;
            ++Time.frameCount;
            foreach (var behaviour in objects.Where(o => o)
                         .SelectMany(o => o.components)
                         .OfType<MonoBehaviour>()
                         .Where(b => b && b.enabled)
                         .ToList())
            {
                SendMessage(behaviour, "Update");
            }
            MainThread.RunPosted();
        }

        private static readonly MainThreadContext MainThread = new MainThreadContext();

        /// <summary>Unity's main-thread context: what is posted to it runs in a later frame, on
        /// the main thread.</summary>
        private sealed class MainThreadContext : SynchronizationContext
        {
            private readonly Queue<(SendOrPostCallback, object)> posted =
                new Queue<(SendOrPostCallback, object)>();

            public override void Post(SendOrPostCallback callback, object state)
            {
                lock (posted)
                {
                    posted.Enqueue((callback, state));
                }
            }

            internal void RunPosted()
            {
                (SendOrPostCallback, object)[] due;
                lock (posted)
                {
                    due = posted.ToArray();
                    posted.Clear();
                }
                foreach (var (callback, state) in due)
                {
                    callback(state);
                }
            }

            internal void Forget()
            {
                lock (posted)
                {
                    posted.Clear();
                }
            }
        }

        /// <summary>Calls a MonoBehaviour's message method, if it has one, as the engine does.
        /// </summary>
        internal static void SendMessage(Object target, string message)
        {
            if (!(target is MonoBehaviour))
            {
                return;
            }
            var method = target.GetType().GetMethod(
                message, BindingFlags.Instance | BindingFlags.Public | BindingFlags.NonPublic, null,
                Type.EmptyTypes, null);
            try
            {
                method?.Invoke(target, null);
            }
            catch (TargetInvocationException e)
            {
                log.Add(e.InnerException); // the engine logs what a message throws
            }
        }

        /// <summary>Loads another scene: every object not kept across scenes is
        /// destroyed.</summary>
        public static void LoadScene()
        {
            foreach (var gameObject in objects.Where(o => o && !o.keptAcrossScenes).ToList())
            {
                Destroy(gameObject);
            }
        }

        /// <summary>The application quits.</summary>
        public static void Quit()
        {
            Application.Quit();
        }

        /// <summary>Runs the [RuntimeInitializeOnLoadMethod] methods of `loadType` in these
        /// assemblies, as entering play mode does (with or without a domain reload).</summary>
        public static void RunInitializers(RuntimeInitializeLoadType loadType,
                                           params Assembly[] assemblies)
        {
            const BindingFlags all =
                BindingFlags.Static | BindingFlags.Public | BindingFlags.NonPublic;
            foreach (var method in assemblies.SelectMany(a => a.GetTypes())
                         .SelectMany(t => t.GetMethods(all)))
            {
                var initialize =
                    method.GetCustomAttribute<RuntimeInitializeOnLoadMethodAttribute>();
                if (initialize != null && initialize.loadType == loadType)
                {
                    method.Invoke(null, null);
                }
            }
        }

        /// <summary>Back to a fresh engine: no objects, nothing logged, not playing, no time
        /// passed, on the machine's own editor.</summary>
        public static void Reset()
        {
            Time.unscaledTime = 0;
            Time.unscaledDeltaTime = 0;
            Time.frameCount = 0;
            foreach (var gameObject in objects.ToList())
            {
                Destroy(gameObject);
            }
            objects.Clear();
            log.Clear();
            Application.isPlaying = false;
            Application.platform = Application.hostEditor;
            MainThread.Forget();
            SynchronizationContext.SetSynchronizationContext(null);
        }

        internal static void Destroy(Object obj)
        {
            if (ReferenceEquals(obj, null))
            {
                return;
            }
            obj.destroyed = true;
            if (obj is GameObject gameObject)
            {
                foreach (var component in gameObject.components)
                {
                    if (component is Behaviour behaviour && behaviour.enabled)
                    {
                        SendMessage(component, "OnDisable");
                    }
                    component.destroyed = true;
                }
                objects.Remove(gameObject);
            }
        }
    }
}
